#!/usr/bin/env python3
"""Attacks System Events the way another process of the same user could, and
measures what its real client sees meanwhile: the latency of LIAECopyLoginItems
(applevents_stall_probe), System Events' peak resident memory and the CPU it
spends. A figure to report, never a pass or a fail.

  idle    1,081 connections that send nothing
  unread  six clients that send requests and never read the replies
  huge    one 54 MiB message of empty lists
  held    eight clients that each send 63 MiB of a frame and stop
  mix     all four at once
  churn   four clients that reconnect as fast as they can once dropped, each
          time idle or with an oversized frame (an attacker that persists)

Usage: bench/applevents/stall.py [--build build/default] [--system-events PATH]
                                 [--seconds 6] [--fd-limit 1024] [ATTACK...]
Each attack runs against a System Events of its own, in a private home."""
import argparse, os, resource, socket, struct, subprocess, tempfile, threading, time

PAGE = os.sysconf('SC_PAGE_SIZE')
TICK = os.sysconf('SC_CLK_TCK')


def cpu_seconds(pid):
    fields = open(f'/proc/{pid}/stat').read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def status_kib(pid, key):
    for line in open(f'/proc/{pid}/status'):
        if line.startswith(key + ':'):
            return int(line.split()[1])
    return 0


def frame(payload, flags=0, length=None):
    return struct.pack('>IB3x', len(payload) if length is None else length, flags) + payload


def empty_lists(total):
    # A list of lists of four empty lists (under a million items per list):
    # a descriptor per 13 bytes.
    empty = b'\x01list' + struct.pack('>II', 4, 0)
    child = b'\x01list' + struct.pack('>II', 4 + 4 * len(empty), 4) + 4 * empty
    count = total // len(child)
    body = struct.pack('>I', count) + child * count
    return b'HMAE\x01' + b'\x01list' + struct.pack('>I', len(body)) + body


def connect(path):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.setblocking(False)
    try:
        s.connect(path)
    except (BlockingIOError, ConnectionRefusedError, FileNotFoundError):
        s.close()
        return None
    return s


def attack_idle(path, keep, stop):
    # Connects until 1,081 are open, waiting while the backlog is full.
    deadline = time.monotonic() + 3
    while len(keep) < 1081 and time.monotonic() < deadline:
        s = connect(path)
        if s is None:
            time.sleep(0.001)
        else:
            keep.append(s)


def attack_unread(path, keep, stop, request):
    # Requests sent for as long as the socket takes them, replies never read.
    def run(s):
        while not stop.is_set():
            try:
                s.send(request)
            except BlockingIOError:
                time.sleep(0.001)
            except OSError:
                return
    for _ in range(6):
        s = connect(path)
        if s is not None:
            keep.append(s)
            threading.Thread(target=run, args=(s,), daemon=True).start()


def send_in_thread(s, data, stop):
    def run():
        s.setblocking(True)
        s.settimeout(0.5)
        view = memoryview(data)
        while view and not stop.is_set():
            try:
                view = view[s.send(view):]
            except socket.timeout:
                continue
            except OSError:
                return
    t = threading.Thread(target=run, daemon=True)
    t.start()
    return t


def attack_huge(path, keep, stop):
    s = connect(path)
    if s is not None:
        keep.append(s)
        send_in_thread(s, frame(empty_lists(54 << 20), 1), stop)


def attack_held(path, keep, stop):
    for _ in range(8):
        s = connect(path)
        if s is not None:
            keep.append(s)
            # 63 MiB of a frame that claims one byte more.
            send_in_thread(s, frame(bytes(63 << 20), 1, (63 << 20) + 1), stop)


def attack_churn(path, keep, stop):
    def run(oversized):
        while not stop.is_set():
            s = connect(path)
            if s is None:
                time.sleep(0.001)
                continue
            s.setblocking(True)
            try:
                if oversized:
                    s.send(frame(b'', 1, 63 << 20))
                s.recv(1)  # until System Events drops it
            except OSError:
                pass
            s.close()
    for i in range(4):
        threading.Thread(target=run, args=(i % 2 == 0,), daemon=True).start()


def run(system_events, probe, attack, seconds, request, fd_limit):
    home = tempfile.mkdtemp(prefix='hm-stall-')
    runtime = os.path.join(home, 'run')
    os.mkdir(runtime, 0o700)
    env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=home + '/config',
               HUSHMOOR_SYSTEM_EVENTS_IDLE_QUIT='0')
    env.pop('HUSHMOOR_SYSTEM_EVENTS_FAILURE', None)
    limit = lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (fd_limit, fd_limit))
    server = subprocess.Popen([system_events], env=env, preexec_fn=limit,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    sock = os.path.join(runtime, 'hushmoor-events', f'{server.pid}.73657673.sock')
    while not os.path.exists(sock):
        time.sleep(0.01)
    keep, stop = [], threading.Event()
    kinds = ['idle', 'unread', 'huge', 'held'] if attack == 'mix' else [attack]
    for kind in kinds:
        if kind == 'unread':
            attack_unread(sock, keep, stop, request)
        elif kind != 'none':
            globals()['attack_' + kind](sock, keep, stop)
    time.sleep(0.5)
    cpu0, t0 = cpu_seconds(server.pid), time.monotonic()
    out = subprocess.run([probe, str(seconds)], env=env, stdout=subprocess.PIPE,
                         text=True).stdout.split()
    busy = (cpu_seconds(server.pid) - cpu0) / (time.monotonic() - t0)
    # The attackers now do nothing: what does System Events spend on them?
    cpu1 = cpu_seconds(server.pid)
    time.sleep(2)
    idle = (cpu_seconds(server.pid) - cpu1) / 2
    rss, peak = status_kib(server.pid, 'VmRSS'), status_kib(server.pid, 'VmHWM')
    stop.set()
    for s in keep:
        s.close()
    server.terminate()
    server.wait()
    subprocess.run(['rm', '-rf', home])
    figures = dict(zip(out[0::2], out[1::2]))
    print(f"{attack:7} calls {figures.get('calls', '?'):>4} failed {figures.get('failed', '?'):>3}"
          f"  median {float(figures.get('median_ms', 'nan')):8.1f} ms  max {float(figures.get('max_ms', 'nan')):8.1f} ms"
          f"  RSS {rss / 1024:6.1f} MiB (peak {peak / 1024:6.1f})  CPU {100 * busy:5.1f}% during,"
          f" {100 * idle:5.1f}% after", flush=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('--build', default='build/default')
    ap.add_argument('--system-events', help='the program to attack (default: the build tree\'s)')
    ap.add_argument('--seconds', type=float, default=6)
    ap.add_argument('--fd-limit', type=int, default=1024,
                    help="System Events' descriptors (below 64 + a few, accepts fail and back off)")
    ap.add_argument('attacks', nargs='*', default=['none', 'idle', 'unread', 'huge', 'held', 'mix', 'churn'])
    a = ap.parse_args()
    resource.setrlimit(resource.RLIMIT_NOFILE, (8192, max(8192, resource.getrlimit(resource.RLIMIT_NOFILE)[1])))
    se = a.system_events or os.path.join(a.build, 'Applications/System Events.app/Contents/MacOS/System Events')
    probe = os.path.join(a.build, 'bench/applevents/applevents_stall_probe')
    with tempfile.TemporaryDirectory(prefix='hm-frame-') as folder:
        subprocess.run([probe, '--frame', folder + '/frame'], check=True)
        request = open(folder + '/frame', 'rb').read()
    for attack in a.attacks:
        run(se, probe, attack, a.seconds, request, a.fd_limit)


if __name__ == '__main__':
    main()
