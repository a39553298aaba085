"""Raw HTTP over a socket, for requests no HTTP library would send."""
import socket
import time


def exchange(port, data, half_close=False, timeout=5.0, pause_after=0.0):
    """Sends `data`, reads until the server closes or `timeout` passes.

    Returns (bytes received, closed by the server)."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        try:
            s.sendall(data)
        except OSError:
            pass  # refused while sending: the answer may still be there
        if half_close:
            s.shutdown(socket.SHUT_WR)
        if pause_after:
            time.sleep(pause_after)
        return read_until_closed(s, timeout)


def read_until_closed(s, timeout):
    received = b""
    deadline = time.monotonic() + timeout
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return received, False
        s.settimeout(left)
        try:
            data = s.recv(1 << 20)
        except socket.timeout:
            return received, False
        except ConnectionResetError:
            return received, True
        if not data:
            return received, True
        received += data


def status_of(answer):
    """The status code of the first answer in `answer`, or None."""
    if not answer.startswith(b"HTTP/1.1 "):
        return None
    return int(answer[9:12])


def answers_in(data):
    """The number of answers' status lines in `data`."""
    return data.count(b"HTTP/1.1 ")


def chunked_body(answer):
    """The body of a chunked answer and whether it ended with its end mark."""
    head, _, rest = answer.partition(b"\r\n\r\n")
    body = b""
    while True:
        line, sep, rest = rest.partition(b"\r\n")
        if not sep:
            return body, False
        size = int(line, 16)
        if size == 0:
            return body, rest.startswith(b"\r\n")
        if len(rest) < size + 2:
            return body + rest[:size], False
        body += rest[:size]
        rest = rest[size + 2:]
