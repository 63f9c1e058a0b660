"""kestrova-cli serve on the simulated unit, driven by PyVISA's pure-Python
backend as a test bench would drive it. All traffic stays on 127.0.0.0/8:
the server listens on 127.0.0.1 and the outsider connects from 127.0.0.2.

Usage: serve_pyvisa_test.py [--quick] PROGRAM...
PROGRAM... runs kestrova-cli (for the Windows build: wine PATH/kestrova-cli.exe).
--quick: only *IDN? and WAV:DATA? in both formats, for a slow emulated run.
"""
import math
import signal
import socket
import subprocess
import sys
import threading

import pyvisa

args = sys.argv[1:]
QUICK = bool(args) and args[0] == "--quick"
CLI = args[1:] if QUICK else args
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


class Server:
    """kestrova-cli serve on a free port, which it prints on standard error."""

    def __init__(self, *extra):
        self.proc = subprocess.Popen(
            [*CLI, "--simulate", "serve", "--listen", "127.0.0.1:0", *extra],
            stderr=subprocess.PIPE, stdout=subprocess.DEVNULL, text=True)
        self.lines = []
        while True:
            line = self.proc.stderr.readline()
            if not line:
                raise SystemExit("serve ended before it served: " + "".join(self.lines))
            self.lines.append(line)
            if " serving unit " in line:
                self.port = int(line.rsplit(":", 1)[1])
                break
        # Keep reading standard error so the server never blocks on it.
        self.reader = threading.Thread(target=self._drain, daemon=True)
        self.reader.start()

    def _drain(self):
        for line in self.proc.stderr:
            self.lines.append(line)

    def stop(self):
        self.proc.send_signal(signal.SIGINT)
        try:
            code = self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = self.proc.wait()
        self.reader.join(timeout=5)
        return code


def raw_client(port, source="127.0.0.1"):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.settimeout(10)
    s.bind((source, 0))
    s.connect(("127.0.0.1", port))
    return s


def read_all(s):
    data = b""
    while True:
        chunk = s.recv(4096)
        if not chunk:
            return data
        data += chunk


def close(a, b, share):
    return abs(a - b) <= share * abs(b)


if not QUICK:
    # Addresses that are none are usage errors, before the unit is touched.
    for extra, said in ((["--listen", "localhost:5025"], "--listen: 'localhost:5025' is not ADDRESS:PORT"),
                        (["--allow", "10.0.0.0/33"], "--allow: '10.0.0.0/33' is not an address")):
        done = subprocess.run([*CLI, "--simulate", "serve", *extra], capture_output=True, text=True, timeout=30)
        check(done.returncode == 2 and said in done.stderr, "%s: exit %d, %r" % (extra, done.returncode, done.stderr))

server = Server()
rm = pyvisa.ResourceManager("@py")
inst = rm.open_resource("TCPIP::127.0.0.1::%d::SOCKET" % server.port,
                        read_termination="\n", write_termination="\n", timeout=10000)

idn = inst.query("*IDN?").split(",")
check(len(idn) == 4 and idn[0] == "Orvanta" and idn[2] == "SIM00001" and idn[3],
      "*IDN? answers maker, model, serial, version: %r" % idn)

# Settings set and read back, in short and long forms.
inst.write("TIM:SCAL 5E-3;:CHANnel2:SCALe 2;:trig:mode norm;sour chan2;lev 50;slop neg")
check(inst.query("TIMebase:SCALe?") == "0.005", "time base read back")
check(inst.query("CHAN2:SCAL?") == "2", "channel scale read back")
check(inst.query("TRIG:MODE?;SOUR?;LEV?;SLOP?") == "NORM;CHAN2;50;NEG", "trigger read back")
check(inst.query("SYST:ERR?") == '0,"No error"', "settings raised no error")
inst.write("*RST")

# The stopped frame, in both formats: the same values.
inst.write("RUN")
inst.query("WAV:DATA?")  # waits for the first frame after the start
inst.write("STOP;:WAV:SOUR CHAN2;FORM REAL")
real = inst.query_binary_values("WAV:DATA?", datatype="f", is_big_endian=False)
inst.write("WAV:FORM ASC")
text = [float(v) for v in inst.query("WAV:DATA?").split(",")]
check(len(real) == 500 and real == text, "REAL and ASCII carry the same 500 values")
check(set(text) == {20.0, 80.0}, "channel 2 holds the 20/80 square: %r" % sorted(set(text)))
check(inst.query("WAV:POIN?;XINC?") == "500;4e-05", "points and spacing at 2 ms/div")

if QUICK:
    inst.close()
    server.stop()
    rm.close()
    if failures:
        sys.exit(1)
    print("quick checks passed")
    sys.exit(0)

# Measurements of that frame against its values.
check(inst.query("MEAS:VPP? CHAN2") == "60", "peak-to-peak exact")
check(inst.query("MEAS:VMIN?;VMAX?") == "20;80", "minimum and maximum of the waveform source")
mean = sum(text) / len(text)
rms = math.sqrt(sum(v * v for v in text) / len(text))
check(close(float(inst.query("MEAS:VAV?")), mean, 1e-9), "mean")
check(close(float(inst.query("MEAS:VRMS?")), rms, 1e-9), "RMS")
check(close(float(inst.query("MEAS:FREQ? CHAN2")), 250.0, 0.005), "square at 250 Hz")
check(close(float(inst.query("MEAS:PER? CHAN2")), 0.004, 0.005), "square period 4 ms")
check(close(float(inst.query("MEAS:FREQ? CHAN1")), 150.0, 0.005), "sine at 150 Hz")
check(0.0 < float(inst.query("MEAS:DUTY? CHAN2")) < 100.0, "duty cycle")

# A single shot: *OPC? answers once the triggered frame is in.
check(inst.query("SING;*OPC?") == "1", "*OPC? after SINGle")
check(inst.query("ACQ:STAT?;:TRIG:MODE?") == "STOP;SING", "the shot stopped the run")
inst.write("TRIG:MODE AUTO;:RUN")

# Errors, read back in order; the queue holds ten, the last becomes -350.
inst.write("FOO:BAR")
inst.write("TIM:SCAL 3E-3")
inst.write("CHAN5:SCAL 1")
inst.write("CHAN1:SCAL 1E6")
inst.write("WAV:FORM BINary")
errors = [inst.query("SYST:ERR?") for _ in range(6)]
check(errors == ['-113,"Undefined header"', '-224,"Illegal parameter value"',
                 '-114,"Header suffix out of range"', '-222,"Data out of range"',
                 '-224,"Illegal parameter value"', '0,"No error"'], "error queue: %r" % errors)
inst.write(";".join(["NOPE"] * 12))
errors = [inst.query("SYST:ERR?") for _ in range(11)]
check(errors == ['-113,"Undefined header"'] * 9 + ['-350,"Queue overflow"', '0,"No error"'],
      "queue overflow: %r" % errors)

# A second client is told who controls the unit and closed.
second = raw_client(server.port)
check(read_all(second) == b'-200,"Execution error; in use by 127.0.0.1"\n', "second client turned away")
second.close()
check(inst.query("*IDN?").startswith("Orvanta,"), "the first client still in control")

# A client that goes away mid-answer; the next one is served.
rude = None
inst.close()
rude = raw_client(server.port)
rude.sendall(b"WAV:FORM ASC;:TIM:SCAL 20ms;:WAV:HIST:DATA?\n")
rude.recv(10)
rude.close()
inst = rm.open_resource("TCPIP::127.0.0.1::%d::SOCKET" % server.port,
                        read_termination="\n", write_termination="\n", timeout=10000)
check(inst.query("*IDN?").startswith("Orvanta,"), "the next client is served")
inst.close()

code = server.stop()
check(code == 0, "SIGINT ends serve with 0, got %s" % code)
check(not any("kestrova-cli: " in l and "error" in l.lower() for l in server.lines), "no error on stderr")

# --allow: an outsider from 127.0.0.2 is closed at once, 127.0.0.1 gets in.
server = Server("--allow", "127.0.0.1/32")
outsider = raw_client(server.port, "127.0.0.2")
check(read_all(outsider) == b"", "outsider closed without a word")
outsider.close()
insider = raw_client(server.port)
insider.sendall(b"*IDN?\n")
check(insider.recv(100).startswith(b"Orvanta,"), "allowed client served")
insider.close()
check(server.stop() == 0, "second server ends with 0")

rm.close()
if failures:
    print("%d check(s) failed" % len(failures))
    sys.exit(1)
print("all checks passed")
