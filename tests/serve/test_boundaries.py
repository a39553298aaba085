"""The edges of `cmg290 serve`'s limits and options: one byte either side."""
import json
import os
import socket
import ssl
import subprocess
import time

import pytest
import requests

from conftest import CMG290, SAMPLES
from rawhttp import chunked_body, exchange, read_until_closed


def start_refused(*args):
    return subprocess.run([CMG290, "serve", "--listen", "127.0.0.1:0", *args],
                          capture_output=True, timeout=30)


def json_line_of(size):
    """A JSON batch line of exactly `size` bytes holding the first sample."""
    line = json.dumps({"record": SAMPLES[0].decode("latin-1")})
    return (line[:-1] + " " * (size - len(line)) + "}").encode()


def test_a_json_batch_line_of_max_body_bytes_is_grouped_and_one_more_refused(start_server):
    server = start_server("--max-body", "4096")
    for ending in [b"\n", b"\r\n"]:
        for size, grouped in [(4096, True), (4097, False)]:
            # Alone in the body (read at once) and after a long first line
            # (read across blocks).
            for before in [b"", json_line_of(4000) + ending]:
                body = before + json_line_of(size) + ending
                data = (b"POST /v1/group/batch HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                        b"Content-Type: application/x-ndjson\r\nContent-Length: %d\r\n\r\n"
                        % len(body) + body)
                results, complete = chunked_body(exchange(server.port, data)[0])
                last = json.loads(results.splitlines()[-1])
                assert complete == grouped, (size, ending, len(before))
                assert (last.get("cmg") == "B0101") == grouped
                if not grouped:
                    assert last["code"] == "too_large"
    # Counted and logged as refused, also when the long line is in a later block.
    metrics = requests.get(server.url + "/metrics").text
    for code in ["200", "413"]:
        assert f'cmg290_http_requests_total{{route="/v1/group/batch",code="{code}"}} 4\n' in metrics
    assert server.log().count(b" POST /v1/group/batch 413 ") == 4


def test_an_all_blank_text_line_is_a_record(start_server):
    server = start_server()
    got = requests.post(server.url + "/v1/group/batch", data=SAMPLES[0] + b"\n   \n\t\n\n",
                        headers={"Content-Type": "text/plain"})
    lines = [json.loads(x) for x in got.content.splitlines()]
    assert [x["line"] for x in lines] == [1, 2, 3]
    assert [x["status"] for x in lines] == [0, 1, 1]


def test_the_highest_port_is_taken_and_one_more_refused():
    beyond = subprocess.run([CMG290, "serve", "--listen", "127.0.0.1:65536"],
                            capture_output=True, timeout=30)
    assert beyond.returncode == 2 and b"port must be" in beyond.stderr
    proc = subprocess.Popen([CMG290, "serve", "--listen", "127.0.0.1:65535"],
                            stderr=subprocess.PIPE)
    try:
        line = proc.stderr.readline()
        # Taken as an address; the port may be in use by something else.
        assert b"listening on http://127.0.0.1:65535" in line or b"cannot listen" in line, line
    finally:
        proc.terminate()
        proc.wait(10)


def test_a_token_of_the_shortest_length_works_and_one_less_is_refused(start_server, tmp_path):
    token = "0123456789abcdef"
    path = tmp_path / "token"
    path.write_text(token[:-1] + "\n")
    os.chmod(path, 0o600)
    refused = start_refused("--token-file", str(path))
    assert refused.returncode == 2 and b"shorter than 16" in refused.stderr
    path.write_text(token + "\n")
    server = start_server("--token-file", str(path))
    assert b"warning" not in server.log()
    got = requests.get(server.url + "/v1/layout", headers={"Authorization": "Bearer " + token})
    assert got.status_code == 200


def test_options_out_of_range_are_refused_cleanly(tmp_path):
    for args, message in [
        (["--max-body", "18446744073709551615"], b"--max-body must be"),
        (["--max-body", "1073741825"], b"--max-body must be"),
        (["--timeout", "0.0000001"], b"--timeout must be"),
        (["--timeout", "0"], b"--timeout must be"),
        (["--grace", "-1"], b"--grace must be"),
        (["--max-connections", "0"], b"--max-connections"),
        (["--tls-cert", str(tmp_path / "none.pem"), "--tls-key", str(tmp_path / "none.key")],
         b"cannot read the certificate file"),
    ]:
        refused = start_refused(*args)
        assert refused.returncode == 2, args
        assert message in refused.stderr, (args, refused.stderr)


@pytest.fixture
def certificate(tmp_path):
    cert, key = tmp_path / "cert.pem", tmp_path / "key.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", str(key), "-out", str(cert)],
                   check=True, capture_output=True)
    return cert, key


def handshake(port, ciphers):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    context.maximum_version = ssl.TLSVersion.TLSv1_2
    context.set_ciphers(ciphers)
    with socket.create_connection(("127.0.0.1", port), timeout=5) as raw:
        try:
            with context.wrap_socket(raw) as tls:
                return tls.cipher()[0]
        except (ssl.SSLError, ConnectionResetError):
            return None


def test_tls_1_2_offers_only_forward_secret_aead_ciphers(start_server, certificate, tmp_path):
    cert, key = certificate
    os.chmod(key, 0o644)
    token = tmp_path / "token"
    token.write_text("s3cret-token-0123456789abcdef\n")
    os.chmod(token, 0o644)
    server = start_server("--tls-cert", str(cert), "--tls-key", str(key), "--token-file",
                          str(token), scheme="https")
    log = server.log()
    assert b"warning: the key file" in log and b"warning: the token file" in log
    for weak in ["AES128-SHA", "AES128-GCM-SHA256", "ECDHE-RSA-AES128-SHA",
                 "ECDHE-RSA-AES256-SHA384", "DHE-RSA-AES128-SHA"]:
        assert handshake(server.port, weak) is None, weak
    for strong in ["ECDHE-RSA-AES128-GCM-SHA256", "ECDHE-RSA-AES256-GCM-SHA384",
                   "ECDHE-RSA-CHACHA20-POLY1305"]:
        assert handshake(server.port, strong) == strong


HEAD_LIMIT = 16 * 1024


def heads_of(size):
    """GET heads of exactly `size` bytes (request line, headers, empty line):
    one long request target, one long header line, many short header lines."""
    start, end = b"GET /healthz HTTP/1.1\r\nHost: x\r\n", b"\r\n"
    target = b"GET /healthz?" + b"a" * (size - 35) + b" HTTP/1.1\r\nHost: x\r\n\r\n"
    one = start + b"X-Pad: " + b"b" * (size - len(start) - len(end) - 9) + b"\r\n" + end
    many = start
    while size - len(many) - len(end) >= 2 * 20:
        many += b"X-Pad: " + b"c" * 11 + b"\r\n"
    many += b"X-End: " + b"d" * (size - len(many) - len(end) - 9) + b"\r\n" + end
    return [target, one, many]


def test_a_head_of_the_limit_is_taken_and_one_byte_more_refused_with_431(start_server):
    server = start_server()
    for size, status in [(HEAD_LIMIT, 200), (HEAD_LIMIT + 1, 431)]:
        for head in heads_of(size):
            assert len(head) == size
            # At once, and in two parts (the parser then meets the head twice).
            for parts in [[head], [head[:size // 2], head[size // 2:]]]:
                with socket.create_connection(("127.0.0.1", server.port), timeout=5) as s:
                    for part in parts:
                        s.sendall(part)
                        time.sleep(0.05)
                    s.shutdown(socket.SHUT_WR)
                    answer, closed = read_until_closed(s, 5)
                assert answer.startswith(b"HTTP/1.1 %d " % status), (size, head[:30], answer[:80])
                assert closed
                if status == 431:
                    assert b"Connection: close" in answer.split(b"\r\n\r\n")[0]
                    assert b"16384 bytes" in answer
    # Refused before it is taken for a request: no route counted it.
    metrics = requests.get(server.url + "/metrics").text
    assert 'route="/healthz",code="200"} 6\n' in metrics
