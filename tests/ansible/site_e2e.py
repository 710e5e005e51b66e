#!/usr/bin/env python3
"""The collection tavolix.site end to end, as an integrator runs it.

ansible-playbook runs in a controller namespace and reaches two segment hosts
over SSH (an sshd started here in each); each host sees its own segment with
devicesim and onvifsim on it. The simulators' transcripts show what was sent.
usage: site_e2e.py TAVOLIXCTL DEVICESIM ONVIFSIM CACHE_DIR
"""
import csv
import io
import json
import os
import re
import shutil
import signal
import string
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
COLLECTION = os.path.join(HERE, "..", "..", "integrations", "ansible")
PASSWORD = "Pw-7f3c9e1a5b"  # distinctive, so that a leak is easy to find
# Per segment host: its address towards the controller, the segment's prefix
# and the MAC bases of its devicesim and onvifsim; every MAC is distinct.
HOSTS = {"h1": ("172.31.251", "198.18.11", "02005e110001", "02005e110101"),
         "h2": ("172.31.252", "198.18.12", "02005e120001", "02005e120101")}


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(77)


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def run(*argv, **kwargs):
    return subprocess.run(argv, check=True, capture_output=True, text=True, **kwargs)


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def write(path, text, mode=0o644):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    os.chmod(path, mode)
    return path


def find_sshd(cache):
    if os.path.exists("/usr/sbin/sshd"):
        return "/usr/sbin/sshd"
    # Unpacked, never installed: the package's install would start a service.
    root = os.path.join(cache, "openssh-server")
    sshd = os.path.join(root, "usr", "sbin", "sshd")
    if not os.path.exists(sshd):
        debs = os.path.join(cache, "debs")
        os.makedirs(debs, exist_ok=True)
        got = subprocess.run(["apt-get", "download", "openssh-server"], cwd=debs,
                             capture_output=True, text=True)
        if got.returncode != 0:
            skip("no sshd, and apt-get download openssh-server failed: " + got.stderr)
        for deb in os.listdir(debs):
            run("dpkg-deb", "-x", os.path.join(debs, deb), root)
    return sshd


class Site:
    """The namespaces, the simulators and the sshds; all gone after close()."""

    def __init__(self, work):
        self.tag = "tvxs%d" % os.getpid()
        self.work = work
        self.namespaces = []
        self.processes = []
        self.ns = {role: "%s-%s" % (self.tag, role) for role in ("ctl", "h1", "h2", "d1", "d2")}

    def build(self, tavolixctl, devicesim, onvifsim, sshd):
        for role in self.ns:
            self.add_namespace(role)
        for host, (uplink, segment, native_mac, onvif_mac) in HOSTS.items():
            device = "d" + host[1]
            self.link("ctl", uplink + ".1/24", host, uplink + ".2/24")
            self.link(host, segment + ".1/24", device, segment + ".2/24")
            self.start(device, "devicesim-" + host, devicesim, "--count", "2", "--ip-base",
                       segment + ".10", "--mac-base", native_mac, "--login", "admin:" + PASSWORD)
            self.start(device, "onvifsim-" + host, onvifsim, "--count", "2", "--interface",
                       "v-" + host, "--ip-base", segment + ".20", "--gateway",
                       segment + ".1", "--mac-base", onvif_mac, "--user", "admin",
                       "--password", PASSWORD)
        for host in HOSTS:
            self.wait_for("devicesim-" + host, "ready ")
            self.wait_for("onvifsim-" + host, "ready ")
        self.start_sshds(tavolixctl, sshd)

    def add_namespace(self, role):
        run("ip", "netns", "add", self.ns[role])
        self.namespaces.append(self.ns[role])
        run("ip", "-n", self.ns[role], "link", "set", "lo", "up")

    def link(self, a, address_a, b, address_b):
        # Made inside a, its peer put straight into b: nothing appears in the
        # machine's own namespace. Named after the far side.
        end_a, end_b = "v-" + b, "v-" + a
        run("ip", "-n", self.ns[a], "link", "add", end_a, "type", "veth", "peer", "name", end_b,
            "netns", self.ns[b])
        for role, end, address in ((a, end_a, address_a), (b, end_b, address_b)):
            run("ip", "-n", self.ns[role], "addr", "add", address, "brd", "+", "dev", end)
            run("ip", "-n", self.ns[role], "link", "set", end, "up")
        for role, end in ((a, end_a), (b, end_b)):
            for _ in range(500):  # a veth drops what is sent before it is UP
                if " state UP " in run("ip", "-n", self.ns[role], "-o", "link", "show", end).stdout:
                    break
                time.sleep(0.01)

    def start(self, role, log, *argv):
        out = open(os.path.join(self.work, log), "w")
        self.processes.append(subprocess.Popen(("ip", "netns", "exec", self.ns[role]) + argv,
                                               stdout=out, stderr=subprocess.STDOUT))
        out.close()

    def wait_for(self, log, text, seconds=10):
        for _ in range(seconds * 20):
            if text in read(os.path.join(self.work, log)):
                return
            time.sleep(0.05)
        raise Failure("%s never said %r:\n%s" % (log, text, read(os.path.join(self.work, log))))

    def start_sshds(self, tavolixctl, sshd):
        w = self.work
        run("ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", w + "/host-key")
        run("ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", w + "/client-key")
        os.makedirs(w + "/bin")
        os.makedirs(w + "/remote-tmp")
        # What the modules run: each call's argv and environment logged, then
        # the tavolixctl built here.
        write(w + "/bin/tavolixctl",
              '#!/bin/sh\n{ echo "call password-env=${TAVOLIX_PASSWORD+set}"; '
              'printf "arg %%s\\n" "$@"; env | sed "s/^/env /"; } >>%s/tavolixctl.log\n'
              'exec %s "$@"\n' % (w, tavolixctl), 0o755)
        os.makedirs("/run/sshd", exist_ok=True)
        # sshd wants its privilege separation user; where the machine has none,
        # sshd alone sees a passwd with one, bound in its own mount namespace.
        privsep = ""
        if subprocess.run(["getent", "passwd", "sshd"], capture_output=True).returncode != 0:
            write(w + "/passwd", read("/etc/passwd") +
                  "sshd:x:65534:65534::/run/sshd:/usr/sbin/nologin\n")
            privsep = "mount --bind %s/passwd /etc/passwd && " % w
        for host, (uplink, *_) in HOSTS.items():
            config = write("%s/sshd-%s.conf" % (w, host), "\n".join([
                "ListenAddress %s.2" % uplink, "HostKey %s/host-key" % w,
                "AuthorizedKeysFile %s/client-key.pub" % w, "PermitRootLogin prohibit-password",
                "PasswordAuthentication no", "KbdInteractiveAuthentication no",
                "StrictModes no", "UsePAM no", "PidFile %s/sshd-%s.pid" % (w, host),
                "Subsystem sftp /usr/lib/openssh/sftp-server",
                "SetEnv PATH=%s/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin" % w, ""]))
            self.start(host, "sshd-" + host, "unshare", "--mount", "sh", "-c",
                       privsep + 'exec "$0" -D -e -f "$1"', sshd, config)
            self.wait_for("sshd-" + host, "Server listening on")

    def close(self):
        for process in self.processes:
            process.terminate()
        for process in self.processes:
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        # What is left in them is ours too: sshd's sessions, ssh's masters.
        for name in self.namespaces:
            pids = subprocess.run(["ip", "netns", "pids", name], capture_output=True, text=True)
            for pid in pids.stdout.split():
                subprocess.run(["kill", pid], capture_output=True)
            subprocess.run(["ip", "netns", "delete", name], capture_output=True)


class Controller:
    """ansible-playbook in the controller's namespace; nothing goes to ~/.ansible."""

    def __init__(self, site):
        self.site = site
        w = site.work
        os.makedirs(w + "/collections/ansible_collections/tavolix")
        os.symlink(os.path.abspath(COLLECTION), w + "/collections/ansible_collections/tavolix/site")
        values = dict(work=w, h1_address=HOSTS["h1"][0] + ".2", h2_address=HOSTS["h2"][0] + ".2")
        write(w + "/inventory.ini",
              string.Template(read(os.path.join(HERE, "site", "inventory.ini"))).substitute(values))
        write(w + "/secret.json", json.dumps({"camera_password": PASSWORD}), 0o600)
        for folder in ("home", "ansible-home", "local-tmp", "cp", "out"):
            os.makedirs(os.path.join(w, folder))
        self.environment = {
            "PATH": "/usr/bin:/bin:/usr/sbin:/sbin", "HOME": w + "/home", "LANG": "C.UTF-8",
            "ANSIBLE_HOME": w + "/ansible-home", "ANSIBLE_LOCAL_TEMP": w + "/local-tmp",
            "ANSIBLE_SSH_CONTROL_PATH_DIR": w + "/cp",
            "ANSIBLE_COLLECTIONS_PATH": w + "/collections",
            "ANSIBLE_HOST_KEY_CHECKING": "False", "ANSIBLE_PIPELINING": "True",
            "ANSIBLE_NOCOLOR": "1", "ANSIBLE_RETRY_FILES_ENABLED": "False",
            "ANSIBLE_CONFIG": w + "/ansible-home/none.cfg"}
        self.runs = 0

    def play(self, playbook, *options, **extra):
        """Runs a playbook; its output, exit code and seconds, and the run's log."""
        self.runs += 1
        extra.update(out=self.site.work + "/out")
        argv = ["ip", "netns", "exec", self.site.ns["ctl"], "ansible-playbook", "-i",
                self.site.work + "/inventory.ini", "-e", "@" + self.site.work + "/secret.json",
                "-e", json.dumps(extra), os.path.join(HERE, "site", playbook)] + list(options)
        began = time.monotonic()
        done = subprocess.run(argv, env=self.environment, cwd=self.site.work,
                              capture_output=True, text=True)
        seconds = time.monotonic() - began
        output = done.stdout + done.stderr
        log = "%s/ansible-%02d-%s.log" % (self.site.work, self.runs, playbook)
        write(log, output)
        print("%5.1f s  ansible-playbook %s %s (exit %d)" % (seconds, playbook, " ".join(options),
                                                           done.returncode), flush=True)
        return output, done.returncode

    def recap(self, output, host):
        found = re.search(r"^%s\s*:\s*(.*)$" % host, output, re.M)
        check(found, "no PLAY RECAP line for " + host)
        return dict((k, int(v)) for k, v in re.findall(r"(\w+)=(\d+)", found.group(1)))


class Transcripts:
    """What the simulators logged since a mark: the proof of what was sent."""

    def __init__(self, site):
        self.work = site.work
        self.searches = set()  # the datagrams a search sends, learnt from the first one

    def lines(self, log):
        return read(os.path.join(self.work, log)).splitlines()

    def mark(self):
        return {log: len(self.lines(log)) for log in
                ("devicesim-h1", "devicesim-h2", "onvifsim-h1", "onvifsim-h2")}

    def since(self, mark, kind):
        return [line for log, count in mark.items() if log.startswith(kind)
                for line in self.lines(log)[count:]]

    def sent(self, mark):
        """What the devices were sent since the mark besides searches and reads."""
        return [line for line in self.since(mark, "devicesim")
                if re.match(r"(apply|defer|drop) ", line) or
                line.startswith("recv ") and line.split()[2] not in self.searches] + [
            line for line in self.since(mark, "onvifsim")
            if re.match(r"call \S+ (Set|SystemReboot)|move ", line)]

    def check_only_searches(self, mark, what):
        sent = self.sent(mark)
        check(not sent, what + ": the devices were sent more than searches:\n" + "\n".join(sent))


def gather(site, ctl):
    """The site CSV from a new gather, as {mac: row}."""
    output, code = ctl.play("gather.yml")
    check(code == 0, "gather.yml failed:\n" + output)
    rows = list(csv.DictReader(io.StringIO(read(site.work + "/out/site.csv"))))
    check(len(rows) == 8, "the site CSV has %d rows, not 8:\n%s" % (len(rows), rows))
    return {row["mac"]: row for row in rows}


def results(site, run, hosts=HOSTS):
    return {host: json.loads(read("%s/out/%s-%s.json" % (site.work, host, run))) for host in hosts}


def mac(base, i):
    return "%012x" % (int(base, 16) + i)


def scenarios(site, ctl):
    transcripts = Transcripts(site)
    mark = transcripts.mark()
    # 1. One site inventory: every device once, with the host that sees it.
    rows = gather(site, ctl)  # also finds tavolixctl on the hosts' PATH, set by sshd
    check("arg search" in read(site.work + "/tavolixctl.log"), "the hosts' PATH misses tavolixctl")
    transcripts.searches = {line.split()[2] for line in transcripts.since(mark, "devicesim")
                            if line.startswith("recv ")}
    check(len(transcripts.searches) == 1, "searches differ: %s" % transcripts.searches)
    for host, (_, segment, native, onvif) in HOSTS.items():
        for base, first in ((native, 10), (onvif, 20)):
            for i in range(2):
                row = rows.get(mac(base, i)) or {}
                check(row.get("host") == host and row.get("ip") == "%s.%d" % (segment, first + i),
                      "%s not listed by %s as expected: %s" % (mac(base, i), host, row))
    # The site plan: each host's devices renamed or moved, and a MAC no host sees.
    h1, h2 = HOSTS["h1"], HOSTS["h2"]
    planned = {mac(h1[2], 0): ("LOBBY-1", "", ""), mac(h1[2], 1): ("", "198.18.11.50", ""),
               mac(h1[3], 0): ("", "198.18.11.60", ""),
               mac(h2[2], 0): ("YARD-1", "198.18.12.50", ""),
               mac(h2[3], 1): ("", "", "198.18.12.254"), "02005e990001": ("GHOST", "", "")}
    plan = write(site.work + "/site-plan.csv", "mac,name,ip,gateway\n" + "".join(
        "%s,%s\n" % (m, ",".join(v)) for m, v in planned.items()))
    own = {host: {m for m in planned if m[6:8] == HOSTS[host][1][-2:]} for host in HOSTS}

    def check_plan_results(run, expected):
        for host, result in results(site, run).items():
            got = {d["mac"]: d["result"] for d in result.get("devices", [])}
            want = {m: expected if m in own[host] else "skipped" for m in planned}
            check(got == want, "%s %s: %s, not %s" % (run, host, got, want))
            check(set(result["unseen"]) == set(planned) - own[host], "%s %s skipped %s" % (
                run, host, result["unseen"]))

    # 2. Check mode shows the changes and sends only searches.
    mark = transcripts.mark()
    output, code = ctl.play("plan.yml", "--check", "--diff", plan=plan, run="check")
    check(code == 0, "the plan in check mode failed:\n" + output)
    check_plan_results("check", "would change")
    check(all(ctl.recap(output, host)["changed"] == 1 for host in HOSTS), "check mode: not changed")
    check('+    "name": "LOBBY-1"' in output and '+    "gateway": "198.18.12.254"' in output,
          "no diff shown:\n" + output)
    transcripts.check_only_searches(mark, "check mode")
    # 3. For real: each host changes its own devices and skips the others.
    mark = transcripts.mark()
    output, code = ctl.play("plan.yml", "-vvv", plan=plan, run="apply")
    check(code == 0, "the plan failed:\n" + output)
    check_plan_results("apply", "verified")
    sent = "\n".join(transcripts.sent(mark))
    check(all(re.search("^(apply|call) %s " % m, sent, re.M) for m in own["h1"] | own["h2"]),
          "not every planned device was sent its change:\n" + sent)
    check(all(ctl.recap(output, host)["changed"] == 1 for host in HOSTS), "not changed")
    rows = gather(site, ctl)
    for m, (name, ip, gateway) in planned.items():
        if m in rows:
            for key, value in (("name", name), ("ip", ip), ("gateway", gateway)):
                check(not value or rows[m][key] == value, "%s: %s is %r after the plan, not %r"
                      % (m, key, rows[m][key], value))
    # 4. Again: nothing differs, nothing is sent.
    mark = transcripts.mark()
    output, code = ctl.play("plan.yml", plan=plan, run="again")
    check(code == 0 and all(ctl.recap(output, host)["changed"] == 0 for host in HOSTS),
          "the plan a second time changed something:\n" + output)
    check_plan_results("again", "unchanged")
    transcripts.check_only_searches(mark, "the second run")
    # 5. A wrong password fails on both hosts and changes nothing.
    wrong = write(site.work + "/wrong-plan.csv", "mac,name\n%s,WRONG-1\n%s,WRONG-2\n"
                  % (mac(h1[2], 0), mac(h2[2], 1)))
    mark = transcripts.mark()
    output, code = ctl.play("plan.yml", "-vvv", plan=wrong, run="wrong",
                            camera_password="Wrong-Pw-1")
    check(code != 0 and all(ctl.recap(output, host)["failed"] == 1 for host in HOSTS) and
          output.count("refused the login") >= 4, "a wrong password did not fail as it should:\n"
          + output)
    transcripts.check_only_searches(mark, "a wrong password")
    rows = gather(site, ctl)
    check(rows[mac(h1[2], 0)]["name"] == "LOBBY-1" and rows[mac(h2[2], 1)]["name"] == "SIM-002",
          "a wrong password changed a name")
    # 6. One device: check mode shows the diff and sends nothing, then the
    # change, then the same again changes nothing.
    device = dict(target="h1", mac=mac(h1[2], 1), device_name="DESK-2")
    mark = transcripts.mark()
    output, code = ctl.play("device.yml", "--check", "--diff", run="device-check", **device)
    result = results(site, "device-check", ["h1"])["h1"] if code == 0 else {}
    check(result.get("result") == "would change" and result.get("changed") and
          '+    "name": "DESK-2"' in output,
          "device in check mode:\n" + output)
    transcripts.check_only_searches(mark, "device in check mode")
    for run, changed, outcome in (("device", 1, "verified"), ("device-again", 0, "unchanged")):
        mark = transcripts.mark()
        output, code = ctl.play("device.yml", run=run, **device)
        result = results(site, run, ["h1"])["h1"] if code == 0 else {}
        check(result.get("result") == outcome and ctl.recap(output, "h1")["changed"] == changed,
              "%s:\n%s" % (run, output))
        sent = transcripts.sent(mark)
        check(bool(sent) == bool(changed), "%s: sent %s" % (run, sent))
    check(gather(site, ctl)[device["mac"]]["name"] == "DESK-2", "DESK-2 not listed")
    output, code = ctl.play("device.yml", run="absent", **dict(device, mac="02005e990001"))
    check(code != 0 and ctl.recap(output, "h1")["failed"] == 1 and
          "(02005e990001): no such device answered" in output,
          "a device that no one sees did not fail:\n" + output)
    # 7. The password in no file of the run but the controller's vars: not in
    # the playbooks' output (-vvv too), the results, tavolixctl's arguments
    # and environment, the transcripts or what Ansible left behind.
    for folder, _, files in os.walk(site.work):
        for name in files:
            path = os.path.join(folder, name)
            check(path.endswith("/secret.json") or not os.path.isfile(path) or
                  PASSWORD not in read(path),
                  "the password is in " + path)
    log = read(site.work + "/tavolixctl.log")
    check("password-env=set" not in log, "TAVOLIX_PASSWORD was set for tavolixctl")
    check("arg --password-file\narg -\n" in log, "tavolixctl never read the password from stdin")


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    tavolixctl, devicesim, onvifsim, cache = sys.argv[1:]
    if os.geteuid() != 0:
        skip("network namespaces need root")
    if not shutil.which("ip"):
        skip("ip (iproute2) is missing")
    if not shutil.which("ansible-playbook"):
        skip("ansible-playbook is missing")
    probe = "tvxs%d-probe" % os.getpid()
    if subprocess.run(["ip", "netns", "add", probe], capture_output=True).returncode != 0:
        skip("ip netns add failed")
    subprocess.run(["ip", "netns", "delete", probe])
    sshd = find_sshd(cache)
    work = tempfile.mkdtemp(prefix="tvxsite-")
    site = Site(work)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: terminated"))  # still clean up
    began = time.monotonic()
    try:
        site.build(tavolixctl, devicesim, onvifsim, sshd)
        scenarios(site, Controller(site))
    except (Failure, OSError, ValueError, subprocess.CalledProcessError) as failure:
        detail = getattr(failure, "stderr", None) or ""
        print("FAIL: %s %s\n(the run's files are kept in %s)" % (failure, detail, work))
        return 1
    finally:
        site.close()
    shutil.rmtree(work)
    print("PASS in %.1f s" % (time.monotonic() - began))
    return 0


if __name__ == "__main__":
    sys.exit(main())
