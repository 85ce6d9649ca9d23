"""Helpers the command line's Python tests share."""
import socket


def free_port(kind):
    """A port on 127.0.0.1 that nothing holds now, for sockets of `kind`."""
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]
