"""Starts `cmg290 serve` on a free loopback port for the tests of its HTTP API."""
import os
import pathlib
import re
import signal
import subprocess
import time

import pytest

CMG290 = os.environ.get("CMG290", "build/tools/cmg290")
SOURCE_DIR = pathlib.Path(os.environ.get("CMG290_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
SAMPLES = (SOURCE_DIR / "examples" / "assessments.txt").read_bytes().splitlines()


def _sanitized():
    """True when the command is built with a sanitizer, whose shadow memory
    and slower code make memory and time bounds meaningless."""
    try:
        libraries = subprocess.run(["ldd", CMG290], capture_output=True, timeout=30).stdout
    except (OSError, subprocess.SubprocessError):
        return False
    return any(name in libraries for name in (b"libasan", b"libtsan", b"libubsan"))


SANITIZED = _sanitized()


def peak_memory_kib(pid):
    """A process's peak resident memory (VmHWM) in KiB."""
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    raise AssertionError("no VmHWM")


class Server:
    """One running server: its URL, the lines it wrote, and a way to stop it."""

    def __init__(self, *args, scheme="http", stderr_path=None):
        self.log_path = stderr_path
        self.log_file = open(stderr_path, "w+b")
        listen = [] if "--listen" in args else ["--listen", "127.0.0.1:0"]
        self.proc = subprocess.Popen([CMG290, "serve", *listen, *args],
                                     stdout=subprocess.DEVNULL, stderr=self.log_file)
        deadline = time.monotonic() + 10
        while True:
            match = re.search(rb"listening on \w+://\S+:(\d+) \(", self.log())
            if match:
                self.port = int(match.group(1))
                break
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("server did not start: " + self.log().decode(errors="replace"))
            time.sleep(0.02)
        self.url = f"{scheme}://127.0.0.1:{self.port}"

    def log(self):
        return pathlib.Path(self.log_path).read_bytes()

    def stop(self, sig=signal.SIGTERM, timeout=30):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        code = self.proc.wait(timeout=timeout)
        self.log_file.close()
        return code


@pytest.fixture
def start_server(tmp_path):
    """Starts servers with the given options; stops them after the test."""
    servers = []

    def start(*args, scheme="http"):
        server = Server(*args, scheme=scheme, stderr_path=tmp_path / f"server{len(servers)}.log")
        servers.append(server)
        return server

    yield start
    for server in servers:
        if server.proc.poll() is None:
            server.proc.kill()
            server.proc.wait()


@pytest.fixture(scope="module")
def server(tmp_path_factory):
    """One server shared by the tests of a module, with a small body limit."""
    s = Server("--max-body", "8192", "--timeout", "1",
               stderr_path=tmp_path_factory.mktemp("serve") / "server.log")
    yield s
    assert s.stop() == 0


def group_locally(record: bytes):
    """The JSON Lines result of `cmg290 group` for one record (without its line member)."""
    import json
    out = subprocess.run([CMG290, "group", "-f", "jsonl", "-q", "-"], input=record + b"\n",
                         capture_output=True, check=False).stdout
    result = json.loads(out.splitlines()[0])
    del result["line"]
    result.pop("tier_set", None)
    return result


TIER_LISTS = [("single-2.40.csv", "2.40", "single"), ("single-2.50.csv", "2.50", "single"),
              ("single-2.60.csv", "2.60", "single"), ("single-2.82.csv", "2.82", "single"),
              ("single-2.90.csv", "2.90", "single"), ("pair.csv", "2.90", "pair"),
              ("secondary.csv", "2.90", "secondary")]


def export_tier_set(directory: pathlib.Path, name=None):
    """Writes the compiled-in tier lists into `directory` as a tier-table set."""
    directory.mkdir(parents=True, exist_ok=True)
    for file, version, kind in TIER_LISTS:
        subprocess.run([CMG290, "tables", "export", "--version", version, "--list", kind,
                        "-o", str(directory / file)], check=True, timeout=60)
    if name is not None:
        (directory / "manifest.txt").write_text(f"name = {name}\n")
    return directory


def edit_tier_row(directory: pathlib.Path, file: str, code: str, row: str):
    """Replaces the row of `file` whose code is `code` with `row`; returns its line number."""
    path = directory / file
    lines = path.read_text().splitlines()
    for k, line in enumerate(lines):
        if line.split(",", 1)[0].strip('"') == code:
            lines[k] = row
            path.write_text("\n".join(lines) + "\n")
            return k + 1
    raise AssertionError(f"{code} is not in {file}")
