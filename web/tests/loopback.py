"""What the web view's tests share: free loopback ports, the simulator reporting
to them and the options that make ondrix-cli listen there."""
import socket
import subprocess


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Loopback:
    def __init__(self):
        self.status_port = free_port(socket.SOCK_DGRAM)
        self.tcp_port = free_port(socket.SOCK_STREAM)
        self.web_port = free_port(socket.SOCK_STREAM)
        self.listen = ["--listen-address", "127.0.0.1", "--listen-port", str(self.status_port),
                       "--sonar-port", str(self.tcp_port)]

    def simulator_args(self, sim, serial, *extra):
        return [sim, "--quiet", "--no-commands", "--serial", str(serial), "--address", "127.0.0.2",
                "--port", str(self.tcp_port), "--status-port", str(self.status_port),
                "--status-interval-ms", "100", *extra]

    def simulator(self, sim, serial, *extra):
        return subprocess.Popen(self.simulator_args(sim, serial, *extra))
