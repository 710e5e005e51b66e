#!/usr/bin/env python3
"""The collection's filters and modules without devices: tavolixctl is a stand-in playing back
outcomes the site test does not stage (not verified, needs reboot, a failed call, a system
error, another JSON schema).
usage: module_tests.py COLLECTION_DIR
"""

import importlib, json, os, subprocess, sys, tempfile, unittest
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the collection's folder
try:
    from ansible.errors import AnsibleFilterError
except ImportError:
    print("SKIP: ansible-core is not installed for " + sys.executable)
    sys.exit(77)

COLLECTION = Path(sys.argv.pop(1)).absolute()
ROOT = Path(tempfile.mkdtemp(prefix="tavolix-ansible-"))  # holds ansible_collections/tavolix/site
(ROOT / "ansible_collections" / "tavolix").mkdir(parents=True)
(ROOT / "ansible_collections" / "tavolix" / "site").symlink_to(COLLECTION)
sys.path.insert(0, str(ROOT))
PACKAGE = "ansible_collections.tavolix.site.plugins."
site = importlib.import_module(PACKAGE + "filter.site")

PASSWORD = "Pw-unit-4d1c"
# Answers --version with STANDIN_VERSION; else records its arguments, the environment's password
# and its standard input, then plays back STANDIN_STATUS, STANDIN_OUT and STANDIN_ERR.
STANDIN = """#!/usr/bin/env python3
import json, os, sys
if sys.argv[1:] == ["--version"]:
    sys.exit(print(os.environ.get("STANDIN_VERSION", "tavolixctl 0.1\\njson-schema 1")))
with open(os.environ["STANDIN_LOG"], "a") as log:
    json.dump(dict(argv=sys.argv[1:], stdin=sys.stdin.read(), env=os.environ.get("TAVOLIX_PASSWORD")), log)
sys.stdout.write(os.environ["STANDIN_OUT"])
sys.stderr.write(os.environ["STANDIN_ERR"])
sys.exit(int(os.environ["STANDIN_STATUS"]))
"""


class Filters(unittest.TestCase):
    def test_site_inventory_merges_by_mac_and_the_csv_is_tavolixctls(self):
        found = lambda *macs: {"found": {"devices": [{"mac": mac} for mac in macs]}}  # noqa: E731
        clone = lambda ip: {"mac": "02005e300001", "ip": ip, "mac_conflict": True}  # noqa: E731
        hostvars = {"seg1": found("02005e100001", None), "seg2": found("02005e100001", "02005e200001"),
                    "seg3": {"found": {"failed": True}}, "seg4": {},  # failed, not reached
                    "seg5": {"found": {"devices": [clone("10.0.0.1"), clone("10.0.0.2")]}}}
        rows = site.site_inventory(hostvars, list(hostvars), "found")
        self.assertEqual([(row["mac"], row["host"]) for row in rows],
                         [("02005e100001", "seg1,seg2"), (None, "seg1"), ("02005e200001", "seg2"),
                          ("02005e300001", "seg5"), ("02005e300001", "seg5")])
        self.assertNotIn("host", hostvars["seg1"]["found"]["devices"][0], "results are not changed")
        with self.assertRaises(AnsibleFilterError):
            site.site_inventory({"seg1": {"found": {"devices": "none"}}}, ["seg1"], "found")
        # The site test compares real listings with tavolixctl's; here the guard's edges.
        # What only the JSON listing carries is no plan column.
        rows = [dict(mac="001122334401", name="1e5", kind=None, addresses=[{"ip": "10.0.0.9"}],
                     clock_offset_s=-3, host="a,b"),
                dict(mac="02005e100001", name="'q\"", kind=1, host="1e-400")]  # a number too large or
        self.assertEqual(site.site_csv(rows), "mac,name,kind,host\r\n'001122334401,\"'1e5\",,\"a,b\"\r\n"
                         "02005e100001,\"''q\"\"\",1,1e-400\r\n")  # too small for a spreadsheet stays text


LOGIN = dict(user="admin", password=PASSWORD)
DEVICE = dict(LOGIN, mac="02005e100001", ip="10.0.0.9")


def report(result, sent=True, after=None, **more):
    change = {"ip": {"now": "10.0.0.5", "planned": "10.0.0.9", "after": after}}
    return json.dumps([dict(mac="02005e100001", ip="10.0.0.5", result=result, changes=change, sent=sent, **more)])


# A row: module, its arguments, tavolixctl's (status, stdout, stderr[, --version]),
# what the result holds (msg: a part of it), arguments tavolixctl is given (None: not run).
OUTCOMES = [
    ("devices_info", dict(LOGIN, interfaces=["eth1"], protocol="onvif"), (1, "[]", "none answered\n"),
     dict(devices=[], changed=False), ["--interface", "eth1", "--protocol", "onvif", "--password-file", "-"]),
    ("devices_info", {}, (1, '[{"mac": null}]', "10.0.0.7: refused\n"),
     dict(devices=[{"mac": None}], warnings=["10.0.0.7: refused"], ansible_facts=None), ["--format", "json"]),
    ("devices_info", {}, (3, "", "UDP port 3566 is in use\n"), dict(failed=True, msg="in use"), []),
    ("devices_info", {}, (0, "[]", "", "tavolixctl 0.9\njson-schema 2\n"), dict(failed=True, msg=(
        "tavolixctl 0.9 at %s/bin/tavolixctl speaks JSON schema 2; this collection needs 1" % ROOT)), None),
    ("device", DEVICE, (0, "[]", "", "tavolixctl 0.0.9\n"), dict(failed=True, msg="speaks no JSON schema"), None),
    ("device", DEVICE, (1, report("not verified", unverified=["ip"]), ""),
     dict(failed=True, changed=True, msg="02005e100001: not verified: ip", unverified=["ip"]), ["--format", "json"]),
    ("device", dict(DEVICE, reboot=True, timeout=60000), (1, report("needs reboot"), ""),
     dict(failed=True, changed=True, msg="reboot: true"), ["--reboot", "--timeout", "60000"]),
    ("device", dict(DEVICE, user=None, password=None), (0, "", ""), dict(failed=True, msg="user and"), None),
    # A camera on a factory address is reached through a temporary address: apply --adopt.
    ("device", dict(DEVICE, adopt=True), (0, report("verified"), ""), dict(changed=True, result="verified"),
     ["--adopt", "--format", "json"]),
    ("plan", dict(LOGIN, src="/plan.csv"),
     (1, report("failed", error="SetNetworkInterfaces: fault"), ""),
     dict(failed=True, changed=True, msg="02005e100001: failed: SetNetworkInterfaces: fault"),
     ["--skip-missing"]),
    # Refused before anything went out: not changed. The host column's name goes along.
    ("plan", dict(LOGIN, src="/plan.csv", host="seg1"),
     (1, report("failed", error="did not answer the last search", sent=False), ""),
     dict(failed=True, changed=False, msg="did not answer"), ["--host", "seg1"]),
    ("device", dict(DEVICE, password=PASSWORD + "\nrest"), (0, "", ""),
     dict(failed=True, msg="the password has a line break"), None),
    # Refused midway: the diff's after is what the device was read back holding.
    ("plan", dict(LOGIN, src="/plan.csv"), (1, report("failed", after="10.0.0.5", error="X taken, Y refused"), ""),
     dict(failed=True, diff=[dict(before_header="02005e100001", after_header="02005e100001",
                                  before={"ip": "10.0.0.5"}, after={"ip": "10.0.0.5"})]), ["--skip-missing"]),
]


class Modules(unittest.TestCase):
    def test_outcomes_of_tavolixctl_played_back(self):
        (ROOT / "bin").mkdir()
        (ROOT / "bin" / "tavolixctl").write_text(STANDIN)
        (ROOT / "bin" / "tavolixctl").chmod(0o755)
        log = ROOT / "calls"
        for module, args, (status, out, err, *version), expected, arguments in OUTCOMES:
            with self.subTest(module=module, expected=expected):
                done = subprocess.run(
                    [sys.executable, str(COLLECTION / "plugins" / "modules" / (module + ".py"))],
                    input=json.dumps(dict(ANSIBLE_MODULE_ARGS=dict(args, _ansible_tmpdir=str(ROOT)))),
                    capture_output=True, text=True, check=False,
                    env=dict(os.environ, PATH="%s/bin:%s" % (ROOT, os.environ["PATH"]),
                             PYTHONPATH=str(ROOT), PYTHONDONTWRITEBYTECODE="1", STANDIN_LOG=str(log),
                             STANDIN_STATUS=str(status), STANDIN_OUT=out, STANDIN_ERR=err,
                             **dict(zip(["STANDIN_VERSION"], version))))
                result = json.loads(done.stdout)
                for key, value in expected.items():
                    if key == "msg":
                        self.assertIn(value, result["msg"])
                    else:
                        self.assertEqual(result.get(key), value, key)
                calls = [json.loads(log.read_text())] if log.exists() else []
                log.unlink(missing_ok=True)
                self.assertEqual(len(calls), 0 if arguments is None else 1)
                for call in calls:
                    self.assertTrue(set(arguments) <= set(call["argv"]), call["argv"])
                    self.assertEqual(call["stdin"], PASSWORD + "\n" if args.get("user") else "")
                    self.assertIsNone(call["env"])
                    self.assertNotIn(PASSWORD, " ".join(call["argv"]) + done.stdout + done.stderr)


if __name__ == "__main__":
    try:
        unittest.main(verbosity=2)
    finally:
        subprocess.run(["rm", "-rf", str(ROOT)], check=False)
