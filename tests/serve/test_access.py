"""Who may call `cmg290 serve`: loopback by default, TLS and a bearer token
beyond it, and clear refusals when they are missing or wrong."""
import socket
import ssl
import subprocess

import pytest
import requests

from conftest import CMG290, SAMPLES

TOKEN = "s3cret-token-0123456789abcdef"
TEXT = {"Content-Type": "text/plain"}


@pytest.fixture
def token_file(tmp_path):
    path = tmp_path / "token"
    path.write_text(TOKEN + "\n")
    return path


@pytest.fixture
def certificate(tmp_path):
    cert, key = tmp_path / "cert.pem", tmp_path / "key.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", str(key), "-out", str(cert)],
                   check=True, capture_output=True)
    return cert, key


def start_refused(*args):
    return subprocess.run([CMG290, "serve", *args], capture_output=True, timeout=30)


def test_token_is_needed_for_the_api_but_not_for_the_page_and_health(start_server, token_file):
    server = start_server("--token-file", str(token_file))
    good = {"Authorization": "Bearer " + TOKEN, **TEXT}
    for headers in [TEXT, {"Authorization": "Bearer " + TOKEN[:-1], **TEXT},
                    {"Authorization": "Bearer " + TOKEN + "x", **TEXT},
                    {"Authorization": "Basic " + TOKEN, **TEXT},
                    {"Authorization": TOKEN, **TEXT}]:
        refused = requests.post(server.url + "/v1/group", data=SAMPLES[0], headers=headers)
        assert refused.status_code == 401
        assert refused.json()["code"] == "unauthorized"
        assert refused.headers["WWW-Authenticate"].startswith("Bearer")
    for path in ["/v1/layout", "/v1/tables", "/metrics", "/v1/openapi.json"]:
        assert requests.get(server.url + path).status_code == 401
        assert requests.get(server.url + path, headers=good).status_code == 200
    assert requests.post(server.url + "/v1/group/batch", data=SAMPLES[0],
                         headers=TEXT).status_code == 401
    ok = requests.post(server.url + "/v1/group", data=SAMPLES[0], headers=good)
    assert ok.status_code == 200 and ok.json()["cmg"] == "B0101"
    lower = {"Authorization": "bearer " + TOKEN, **TEXT}
    assert requests.post(server.url + "/v1/group", data=SAMPLES[0], headers=lower).ok
    assert requests.get(server.url + "/healthz").ok
    assert requests.get(server.url + "/").ok
    assert TOKEN.encode() not in server.log()


def test_tls_with_a_certificate_made_here(start_server, certificate, token_file):
    cert, key = certificate
    server = start_server("--tls-cert", str(cert), "--tls-key", str(key),
                          "--token-file", str(token_file), scheme="https")
    assert server.url.startswith("https://")
    good = {"Authorization": "Bearer " + TOKEN, **TEXT}
    got = requests.post(server.url + "/v1/group", data=SAMPLES[0], headers=good, verify=str(cert))
    assert got.status_code == 200 and got.json()["cmg"] == "B0101"
    batch = requests.post(server.url + "/v1/group/batch", data=b"\n".join(SAMPLES),
                          headers=good, verify=str(cert))
    assert len(batch.content.splitlines()) == len(SAMPLES)
    assert requests.get(server.url + "/v1/layout", verify=str(cert)).status_code == 401
    # Not trusted without the certificate; plain HTTP gets no answer.
    with pytest.raises(requests.exceptions.SSLError):
        requests.get(server.url + "/healthz")
    with pytest.raises(requests.exceptions.ConnectionError):
        requests.get(f"http://127.0.0.1:{server.port}/healthz", timeout=5)
    context = ssl.create_default_context(cafile=str(cert))
    with socket.create_connection(("127.0.0.1", server.port)) as raw:
        with context.wrap_socket(raw, server_hostname="127.0.0.1") as tls:
            assert tls.version() in ("TLSv1.2", "TLSv1.3")


def test_beyond_loopback_needs_tls_and_token_or_insecure(start_server, certificate, token_file):
    cert, key = certificate
    for args in [[], ["--token-file", str(token_file)],
                 ["--tls-cert", str(cert), "--tls-key", str(key)]]:
        refused = start_refused("--listen", "0.0.0.0:0", *args)
        assert refused.returncode == 2
        assert b"without TLS and a token" in refused.stderr
        assert b"--insecure" in refused.stderr
    server = start_server("--listen", "0.0.0.0:0", "--insecure")
    assert b"warning" in server.log()
    assert requests.get(server.url + "/healthz").ok


def test_start_up_errors_are_clear(tmp_path, certificate):
    cert, key = certificate
    short = tmp_path / "short"
    short.write_text("abc\n")
    cases = [
        (["--token-file", str(tmp_path / "missing")], b"cannot read the token file"),
        (["--token-file", str(short)], b"shorter than 16"),
        (["--tls-cert", str(cert)], b"go together"),
        (["--tls-cert", str(key), "--tls-key", str(cert)], b"cannot use the certificate"),
        (["--listen", "127.0.0.1"], b"ADDRESS:PORT"),
        (["--listen", "127.0.0.1:99999"], b"port"),
        (["--listen", "::1:8290"], b"brackets"),
        (["--threads", "0"], b"--threads"),
        (["--max-body", "100"], b"--max-body"),
    ]
    for args, message in cases:
        refused = start_refused("--listen", "127.0.0.1:0", *args) if args[0] != "--listen" \
            else start_refused(*args)
        assert refused.returncode == 2, args
        assert message in refused.stderr, (args, refused.stderr)


def test_port_in_use_is_refused(start_server):
    server = start_server()
    refused = start_refused("--listen", f"127.0.0.1:{server.port}")
    assert refused.returncode == 2 and b"cannot listen" in refused.stderr
