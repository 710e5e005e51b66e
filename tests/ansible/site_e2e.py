#!/usr/bin/env python3
"""The collection tavolix.site as an integrator runs it: ansible-playbook in a controller
namespace, over SSH to two segment hosts, each beside its own devicesim and onvifsim.
usage: site_e2e.py TAVOLIXCTL DEVICESIM ONVIFSIM CACHE_DIR
"""
import csv, json, os, re, shutil, signal, subprocess, sys, tempfile, time
from pathlib import Path

PLAYBOOK = Path(__file__).resolve().parent / "site" / "site.yml"
COLLECTION = Path(__file__).resolve().parents[2] / "integrations" / "ansible"
PASSWORD = "Pw-7f3c9e1a5b"  # distinctive, so that a leak is easy to find
# Per segment host: its uplink's and its segment's prefix, its devicesim's and onvifsim's MAC base.
HOSTS = {"h1": ("172.31.251", "198.18.11", "02005e110001", "02005e110101"),
         "h2": ("172.31.252", "198.18.12", "02005e120001", "02005e120101")}
GHOST = "02005e990001"  # no host sees it
ROLES = ("ctl", "h1", "h2", "d1", "d2")  # controller, segment hosts, their devices
SIMULATORS = ("devicesim-h1", "devicesim-h2", "onvifsim-h1", "onvifsim-h2")
WORK = Path()  # the run's folder, made by main()
PROCESSES = []


def expect(condition, what):
    if not condition:
        raise AssertionError(what)


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(77)


def ns(role):
    return "tvxs%d-%s" % (os.getpid(), role)


def sh(*argv, role=None, check=True, text=True, **kwargs):
    prefix = ("ip", "netns", "exec", ns(role)) if role else ()
    return subprocess.run(prefix + argv, check=check, capture_output=True, text=text, **kwargs)


def read(name):
    return (WORK / name).read_text(errors="replace")


def write(name, text, mode=0o644):
    (WORK / name).write_text(text)
    (WORK / name).chmod(mode)
    return str(WORK / name)


def mac(host, simulator, index):
    base = HOSTS[host][2 if simulator == "devicesim" else 3]
    return "%012x" % (int(base, 16) + index)


def find_sshd(cache):
    """The machine's sshd, or one unpacked, never installed (that would start a service)."""
    unpacked = Path(cache).absolute() / "openssh-server"  # sshd runs only by its absolute path
    for sshd in (Path("/usr/sbin/sshd"), unpacked / "usr/sbin/sshd"):
        if sshd.exists():
            return str(sshd)
    Path(cache).mkdir(parents=True, exist_ok=True)
    got = sh("apt-get", "download", "openssh-server", cwd=cache, check=False)
    if got.returncode != 0:
        skip("no sshd, and apt-get download openssh-server failed: " + got.stderr)
    deb = next(Path(cache).glob("openssh-server_*.deb"))
    sh("dpkg-deb", "-x", str(deb), str(unpacked))
    return str(unpacked / "usr/sbin/sshd")


def start(role, log, ready, *argv):
    """Starts argv in the role's namespace and waits until its log says it is ready."""
    with open(WORK / log, "w") as out:
        PROCESSES.append(subprocess.Popen(("ip", "netns", "exec", ns(role)) + argv,
                                          stdout=out, stderr=subprocess.STDOUT))
    deadline = time.monotonic() + 10
    while ready not in read(log):
        expect(time.monotonic() < deadline, "%s never said %r:\n%s" % (log, ready, read(log)))
        time.sleep(0.05)


def link(a, address_a, b, address_b):
    """A veth pair between two namespaces, each end named after its far side."""
    # Made inside a, its peer put straight into b: nothing appears in the machine's namespace.
    sh("ip", "link", "add", "v-" + b, "type", "veth", "peer", "name", "v-" + a, "netns", ns(b),
       role=a)
    for role, end, address in ((a, "v-" + b, address_a), (b, "v-" + a, address_b)):
        sh("ip", "addr", "add", address, "brd", "+", "dev", end, role=role)
        sh("ip", "link", "set", end, "up", role=role)


def build_site(tavolixctl, devicesim, onvifsim, sshd):
    for role in ROLES:
        sh("ip", "netns", "add", ns(role))
        sh("ip", "link", "set", "lo", "up", role=role)
    for host, (uplink, segment, native_mac, onvif_mac) in HOSTS.items():
        link("ctl", uplink + ".1/24", host, uplink + ".2/24")
        link(host, segment + ".1/24", "d" + host[1], segment + ".2/24")
        start("d" + host[1], "devicesim-" + host, "ready ", devicesim, "--count", "2", "--ip-base",
              segment + ".10", "--mac-base", native_mac, "--login", "admin:" + PASSWORD,
              "--name", "=" + host)  # a name a spreadsheet would take for a formula
        start("d" + host[1], "onvifsim-" + host, "ready ", onvifsim, "--count", "2", "--interface",
              "v-" + host, "--ip-base", segment + ".20", "--gateway", segment + ".1",
              "--mac-base", onvif_mac, "--user", "admin", "--password", PASSWORD)
    # The controller's: the collection, the inventory and the password in a vars file.
    (WORK / "ansible_collections" / "tavolix").mkdir(parents=True)
    (WORK / "ansible_collections" / "tavolix" / "site").symlink_to(COLLECTION)
    write("inventory.ini", "[segments]\n" + "".join(
        "%s ansible_host=%s.2\n" % (host, uplink) for host, (uplink, *_) in HOSTS.items()))
    write("secret.json", json.dumps({"camera_password": PASSWORD}), 0o600)
    for folder in ("bin", "home", "remote-tmp", "out"):
        (WORK / folder).mkdir()
    for key in ("host-key", "client-key"):
        sh("ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", str(WORK / key))
    # What the modules run: each call's argv and environment logged, then the real tavolixctl.
    write("bin/tavolixctl", '#!/bin/sh\n{ echo "call password-env=${TAVOLIX_PASSWORD+set}"; '
          'printf "arg %%s\\n" "$@"; env | sed "s/^/env /"; } >>%s/tavolixctl.log\n'
          'exec %s "$@"\n' % (WORK, tavolixctl), 0o755)
    os.makedirs("/run/sshd", exist_ok=True)
    # sshd wants its privilege separation user, which the machine may lack: sshd alone sees a
    # passwd with one, bound in its own mount namespace.
    passwd = write("passwd", Path("/etc/passwd").read_text() +
                   "sshd:x:65534:65534::/run/sshd:/usr/sbin/nologin\n")
    for host, (uplink, *_) in HOSTS.items():
        config = write("sshd-%s.conf" % host, "\n".join([
            "ListenAddress %s.2" % uplink, "PidFile %s/sshd-%s.pid" % (WORK, host),
            "HostKey %s/host-key" % WORK, "AuthorizedKeysFile %s/client-key.pub" % WORK,
            "PermitRootLogin prohibit-password", "PasswordAuthentication no", "UsePAM no",
            "KbdInteractiveAuthentication no", "StrictModes no",
            "Subsystem sftp /usr/lib/openssh/sftp-server",
            "SetEnv PATH=%s/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin" % WORK, ""]))
        start(host, "sshd-" + host, "Server listening on", "unshare", "--mount", "sh", "-c",
              'mount --bind "$2" /etc/passwd && exec "$0" -D -e -f "$1"', sshd, config, passwd)


def tear_down():
    # All in the namespaces is ours: the simulators, the sshds, their sessions, ssh's masters.
    for role in ROLES:
        for pid in sh("ip", "netns", "pids", ns(role), check=False).stdout.split():
            sh("kill", pid, check=False)
        sh("ip", "netns", "delete", ns(role), check=False)
    for process in PROCESSES:
        process.wait(10)


def play(tag, run, *options, **extra):
    """The playbook's tasks of a tag run from the controller; its output and exit code. All
    Ansible keeps goes to the run's folder, each host's last result to out/RUN/HOST."""
    environment = {
        "PATH": "/usr/bin:/bin:/usr/sbin:/sbin", "HOME": "%s/home" % WORK, "LANG": "C.UTF-8",
        "ANSIBLE_CONFIG": "%s/none.cfg" % WORK, "ANSIBLE_COLLECTIONS_PATH": str(WORK),
        "ANSIBLE_REMOTE_USER": "root", "ANSIBLE_PRIVATE_KEY_FILE": "%s/client-key" % WORK,
        "ANSIBLE_SSH_COMMON_ARGS": "-F /dev/null -o UserKnownHostsFile=/dev/null",
        "ANSIBLE_HOST_KEY_CHECKING": "False", "ANSIBLE_PYTHON_INTERPRETER": "/usr/bin/python3",
        "ANSIBLE_REMOTE_TEMP": "%s/remote-tmp" % WORK, "ANSIBLE_PIPELINING": "True",
        "ANSIBLE_GATHERING": "explicit", "ANSIBLE_CALLBACKS_ENABLED": "tree",
        "ANSIBLE_CALLBACK_TREE_DIR": "%s/out/%s" % (WORK, run)}
    began = time.monotonic()
    done = sh("ansible-playbook", "-i", "inventory.ini", "-e", "@secret.json", "-e",
              json.dumps(dict(extra, out=str(WORK / "out"))), "--tags", tag, str(PLAYBOOK),
              *options, role="ctl", check=False, env=environment, cwd=WORK)
    write("ansible-%s.log" % run, done.stdout + done.stderr)
    print("%5.1f s  %-12s ansible-playbook --tags %s %s (exit %d)" % (
        time.monotonic() - began, run, tag, " ".join(options), done.returncode), flush=True)
    return done.stdout + done.stderr, done.returncode


def recap(output, host):
    found = re.search(r"^%s\s*:\s*(.*)$" % host, output, re.M)
    expect(found, "no PLAY RECAP line for " + host)
    return {key: int(value) for key, value in re.findall(r"(\w+)=(\d+)", found.group(1))}


def transcripts():
    return [read(log).splitlines() for log in SIMULATORS]


def sent_since(mark):
    """What the devices were sent since the mark besides searches: devicesim logs each other
    datagram as applied, deferred or dropped, onvifsim each Set call, reboot and move."""
    lines = [line for before, now in zip(mark, transcripts()) for line in now[len(before):]]
    return [line for line in lines
            if re.match(r"(apply|defer|drop) |call \S+ (Set|SystemReboot)|move ", line)]


def scenarios(tavolixctl):
    # 1. One site inventory: every device once, with the host that sees it.
    output, code = play("gather", "gather")
    expect(code == 0, "the gather failed:\n" + output)
    rows = {row["mac"]: row for row in csv.DictReader(read("out/site.csv").splitlines())}
    expect(set(rows) == {mac(host, simulator, i) for host in HOSTS for simulator in ("devicesim", "onvifsim")
                         for i in range(2)}, "the site CSV lists %s" % sorted(rows))
    listings = b""  # site.csv's bytes: the hosts' own tavolixctl listings, each row with its host
    for host in HOSTS:
        header, *lines = sh(tavolixctl, "search", "--format", "csv", "--user", "admin", "--password-file", "-",
                            role=host, input=PASSWORD.encode() + b"\n", text=False).stdout.split(b"\r\n")[:-1]
        listings = (listings or header + b",host\r\n") + b"".join(line + b",%s\r\n" % host.encode() for line in lines)
    expect((WORK / "out/site.csv").read_bytes() == listings, "site.csv is not tavolixctl's listings")
    # The site plan: each host's devices renamed or moved, and a device no host sees, its row
    # left to h2 alone by the host column.
    planned = {mac("h1", "devicesim", 0): ("LOBBY-1", "", "", ""),
               mac("h1", "devicesim", 1): ("", "198.18.11.50", "", "h1"),
               mac("h1", "onvifsim", 0): ("", "198.18.11.60", "", ""),
               mac("h2", "devicesim", 0): ("YARD-1", "198.18.12.50", "", ""),
               mac("h2", "onvifsim", 1): ("", "", "198.18.12.254", ""), GHOST: ("GHOST", "", "", "h2")}
    plan = dict(plan=write("site-plan.csv", "mac,name,ip,gateway,host\n" + "".join(
        "%s,%s\n" % (m, ",".join(values)) for m, values in planned.items())))
    wrong = dict(plan=write("wrong-plan.csv", "mac,name\n%s,WRONG-1\n%s,WRONG-2\n" % (
        mac("h1", "devicesim", 0), mac("h2", "devicesim", 1))), camera_password="Wrong-Pw-1")
    device = dict(target="h1", mac=mac("h1", "devicesim", 1), device_name="DESK-2")
    # 2.-6. Each run: its PLAY RECAP and each host's report on its devices, or its failure.
    for tag, run, options, variables, want_recap, outcome in (
            ("plan", "check", ["--check", "--diff"], plan, {"changed": 1}, "would change"),
            ("plan", "apply", ["-vvv"], plan, {"changed": 1}, "verified"),
            ("plan", "again", [], plan, {"changed": 0}, "unchanged"),
            ("plan", "wrong", ["-vvv"], wrong, {"failed": 1}, "refused the login"),
            ("device", "desk-check", ["--check", "--diff"], device, {"changed": 1}, "would change"),
            ("device", "desk", [], device, {"changed": 1}, "verified"),
            ("device", "absent", [], dict(device, mac=GHOST), {"failed": 1},
             "(%s): no such device answered" % GHOST)):
        mark = transcripts()
        output, code = play(tag, run, *options, **variables)
        expect((code != 0) == ("failed" in want_recap), "%s: exit %d:\n%s" % (run, code, output))
        given = set(planned) if tag == "plan" else {variables["mac"]}
        for host in HOSTS if tag == "plan" else [variables["target"]]:
            expect(want_recap.items() <= recap(output, host).items(),
                   "%s on %s: PLAY RECAP is not %s:\n%s" % (run, host, want_recap, output))
            result = json.loads(read("out/%s/%s" % (run, host)))
            if "failed" in want_recap:
                expect(outcome in result["msg"], "%s on %s: %s" % (run, host, result["msg"]))
                continue
            # The device module reports its one device as the plan module each of its rows.
            reported = {entry["mac"]: entry["result"] for entry in result.get("devices", [result])}
            here = {m for m in given if planned.get(m, "---")[3] in ("", host)}
            own = {m for m in here if rows.get(m, {}).get("host") == host}
            expected = {m: outcome if m in own else "skipped" for m in here}
            expect(reported == expected and set(result.get("unseen", [])) == here - own,
                   "%s on %s: %s" % (run, host, result))
        sent = "\n".join(sent_since(mark))
        sent_to = {m for m in given if re.search("^(apply|call) %s " % m, sent, re.M)}
        expect(sent_to == given & set(rows) if outcome == "verified" else not sent,
               "%s: the devices were sent besides searches:\n%s" % (run, sent))
    # Check mode shows the changes as a diff.
    for run, line in (("check", '"name": "LOBBY-1"'), ("check", '"gateway": "198.18.12.254"'),
                      ("desk-check", '"name": "DESK-2"')):
        expect("+    %s" % line in read("ansible-%s.log" % run), "%s: no diff +%s" % (run, line))
    # 7. The password in no file of the run but the controller's vars: output (-vvv too),
    # results, tavolixctl's arguments and environment, transcripts, what Ansible left.
    for path in WORK.rglob("*"):  # not into the collection, a link
        expect(path.name == "secret.json" or not path.is_file() or
               PASSWORD not in path.read_text(errors="replace"), "the password is in %s" % path)
    expect("password-env=set" not in read("tavolixctl.log"), "TAVOLIX_PASSWORD was set")
    expect("arg --password-file\narg -\n" in read("tavolixctl.log"),
           "tavolixctl never read the password from stdin")


def main():
    global WORK
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    tavolixctl, devicesim, onvifsim, cache = sys.argv[1:]
    if os.geteuid() != 0:
        skip("network namespaces need root")
    for program in ("ip", "ansible-playbook"):
        if not shutil.which(program):
            skip(program + " is missing")
    if sh("ip", "netns", "add", ns("probe"), check=False).returncode != 0:
        skip("ip netns add failed")
    sh("ip", "netns", "delete", ns("probe"))
    sshd = find_sshd(cache)
    WORK = Path(tempfile.mkdtemp(prefix="tvxsite-"))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: terminated"))  # still clean up
    began = time.monotonic()
    try:
        build_site(tavolixctl, devicesim, onvifsim, sshd)
        scenarios(tavolixctl)
    except Exception as failure:  # whatever went wrong, the files stay to be looked at
        detail = getattr(failure, "stderr", None) or ""
        print("FAIL: %s %s\n(the run's files are kept in %s)" % (failure, detail, WORK))
        return 1
    finally:
        tear_down()
    shutil.rmtree(WORK)
    print("PASS in %.1f s" % (time.monotonic() - began))
    return 0


if __name__ == "__main__":
    sys.exit(main())
