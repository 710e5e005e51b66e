#!/usr/bin/env python3
"""The collection's filters and modules without devices.

The modules run with tavolixctl replaced by a scripted stand-in: the answers
it plays back (a verification that failed, a refused login, a system error)
are ones a real search cannot be made to give on demand here. The real
tavolixctl is run by the site test (site_e2e.py).
usage: module_tests.py COLLECTION_DIR
"""

import importlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest

sys.dont_write_bytecode = True  # nothing written into the collection's folder

import yaml

try:
    from ansible.errors import AnsibleFilterError
except ImportError:
    print("SKIP: ansible-core is not installed for " + sys.executable)
    sys.exit(77)

COLLECTION = os.path.abspath(sys.argv.pop(1))
ROOT = tempfile.mkdtemp(prefix="tavolix-ansible-")
os.makedirs(os.path.join(ROOT, "ansible_collections", "tavolix"))
os.symlink(COLLECTION, os.path.join(ROOT, "ansible_collections", "tavolix", "site"))
sys.path.insert(0, ROOT)

from ansible_collections.tavolix.site.plugins.filter.site import site_csv, site_inventory  # noqa: E402
from ansible_collections.tavolix.site.plugins.module_utils.tavolixctl import plan_text  # noqa: E402

PASSWORD = "Pw-unit-4d1c"

# Plays back STANDIN_STATUS / STANDIN_OUT / STANDIN_ERR and records its
# arguments, its environment's password and its standard input.
STANDIN = textwrap.dedent(
    """\
    #!/usr/bin/env python3
    import json, os, sys
    with open(os.environ["STANDIN_LOG"], "a") as log:
        log.write(json.dumps(dict(argv=sys.argv[1:], stdin=sys.stdin.read(),
                                  env=os.environ.get("TAVOLIX_PASSWORD"))) + "\\n")
    sys.stdout.write(os.environ.get("STANDIN_OUT", ""))
    sys.stderr.write(os.environ.get("STANDIN_ERR", ""))
    sys.exit(int(os.environ.get("STANDIN_STATUS", "0")))
    """
)


class Filters(unittest.TestCase):
    def test_site_inventory_merges_by_mac_and_names_hosts(self):
        hostvars = {
            "seg1": {"tavolix_devices": [{"mac": "02005e100001", "ip": "10.1.0.5"}, {"mac": None, "ip": "10.1.0.9"}]},
            "seg2": {"tavolix_devices": [{"mac": "02005e100001", "ip": "10.1.0.5"}, {"mac": "02005e200001"}]},
            "seg3": {},  # gathered nothing: unreachable, or not run
        }
        rows = site_inventory(hostvars, ["seg1", "seg2", "seg3"])
        self.assertEqual(
            [(row["mac"], row["host"]) for row in rows],
            [("02005e100001", "seg1,seg2"), (None, "seg1"), ("02005e200001", "seg2")],
        )
        self.assertNotIn("host", hostvars["seg1"]["tavolix_devices"][0], "facts are not changed")
        with self.assertRaises(AnsibleFilterError):
            site_inventory({"seg1": {"tavolix_devices": "none"}}, ["seg1"])

    def test_site_csv_columns_and_guarded_cells(self):
        rows = [
            dict(mac="001122334401", name="0042", kind=1, on_link=True, model=None, host="seg1"),
            dict(mac="02005e100001", name="=cmd", kind=None, on_link=False, model="1e5", host="seg2"),
            dict(mac="02005e100002", name="'quoted", kind=3, on_link=False, model="inf", host="a,b"),
            dict(mac="02005e100003", name='say "hi", bye', kind=1, on_link=True, model="-1", host="seg1"),
        ]
        self.assertEqual(
            site_csv(rows).split("\r\n"),
            [
                "mac,name,kind,on_link,model,host",
                "'001122334401,'0042,1,true,,seg1",
                "02005e100001,'=cmd,,false,'1e5,seg2",  # too large for a number: bare
                "02005e100002,''quoted,3,false,inf,\"a,b\"",
                "02005e100003,\"say \"\"hi\"\", bye\",1,true,'-1,seg1",
                "",
            ],
        )

    def test_plan_text_quotes_every_text_once(self):
        self.assertEqual(
            plan_text([dict(mac="02:00:5e:10:00:01", name="'x,y", http_port=8080, pppoe_account="")]),
            "mac,name,http_port,pppoe_account\n02:00:5e:10:00:01,\"''x,y\",8080,'\n",
        )


class Documentation(unittest.TestCase):
    def test_options_documented_as_the_modules_take_them(self):
        for name in ("devices_info", "device", "plan"):
            module = importlib.import_module("ansible_collections.tavolix.site.plugins.modules." + name)
            documented = yaml.safe_load(module.DOCUMENTATION)["options"]
            yaml.safe_load(module.RETURN)
            self.assertEqual(sorted(documented), sorted(module.ARGUMENT_SPEC), name)
            for option, spec in module.ARGUMENT_SPEC.items():
                doc = documented[option]
                for key in ("type", "default", "choices", "required", "elements"):
                    self.assertEqual(doc.get(key), spec.get(key), "%s %s %s" % (name, option, key))
            self.assertTrue(module.ARGUMENT_SPEC["password"]["no_log"], name)


class Modules(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="tavolix-module-", dir=ROOT)
        bin_dir = os.path.join(self.work, "bin")
        os.mkdir(bin_dir)
        standin = os.path.join(bin_dir, "tavolixctl")
        with open(standin, "w") as file:
            file.write(STANDIN)
        os.chmod(standin, 0o755)
        self.log = os.path.join(self.work, "calls")
        self.env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"], PYTHONPATH=ROOT, PYTHONDONTWRITEBYTECODE="1", STANDIN_LOG=self.log)

    def run_module(self, module, args, status=0, out="", err="", check=False):
        args = dict(args, _ansible_check_mode=check, _ansible_tmpdir=self.work)
        path = os.path.join(COLLECTION, "plugins", "modules", module + ".py")
        env = dict(self.env, STANDIN_STATUS=str(status), STANDIN_OUT=out, STANDIN_ERR=err)
        done = subprocess.run(
            [sys.executable, path],
            input=json.dumps(dict(ANSIBLE_MODULE_ARGS=args)),
            capture_output=True,
            text=True,
            env=env,
            check=False,
        )
        self.assertNotIn(PASSWORD, done.stdout + done.stderr)
        return json.loads(done.stdout)

    def calls(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as file:
            return [json.loads(line) for line in file]

    def test_password_goes_to_stdin_only(self):
        login = dict(user="admin", password=PASSWORD)
        report = json.dumps([dict(mac="02005e100001", ip="10.0.0.5", result="unchanged", changes={})])
        self.run_module("devices_info", dict(login, interfaces=["eth1"], protocol="onvif"), out="[]", status=1)
        self.run_module("device", dict(login, mac="02005e100001", name="A"), out=report)
        self.run_module("plan", dict(login, src=os.path.join(self.work, "plan.csv"), reboot=True), out=report)
        calls = self.calls()
        self.assertEqual(
            [call["argv"] for call in calls],
            [
                ["search", "--format", "json", "--timeout", "1500", "--interface", "eth1", "--protocol", "onvif",
                 "--user", "admin", "--password-file", "-"],
                ["apply", os.path.join(self.work, "device-plan.csv"), "--format", "json", "--timeout", "15000",
                 "--protocol", "all", "--user", "admin", "--password-file", "-"],
                ["apply", os.path.join(self.work, "plan.csv"), "--format", "json", "--timeout", "15000", "--reboot",
                 "--skip-missing", "--protocol", "all", "--user", "admin", "--password-file", "-"],
            ],
        )
        for call in calls:
            self.assertEqual(call["stdin"], PASSWORD + "\n")
            self.assertIsNone(call["env"])

    def test_devices_info_results(self):
        devices = [dict(mac="02005e100001", name="A")]
        found = self.run_module("devices_info", {}, out=json.dumps(devices))
        self.assertEqual((found["devices"], found["ansible_facts"]["tavolix_devices"]), (devices, devices))
        self.assertFalse(found["changed"])
        self.assertEqual(self.calls()[0]["stdin"], "", "no login: nothing on stdin")
        none = self.run_module("devices_info", {}, status=1, out="[]", err="no device answered within 1500 ms\n")
        self.assertEqual((none["devices"], none.get("failed"), none.get("warnings")), ([], None, None))
        unread = self.run_module("devices_info", {}, status=1, out=json.dumps(devices), err="10.0.0.7: refused\n")
        self.assertEqual(unread["warnings"], ["10.0.0.7: refused"])
        broken = self.run_module("devices_info", {}, status=3, err="UDP port 3566 is in use\n")
        self.assertEqual((broken["failed"], broken["msg"]), (True, "UDP port 3566 is in use"))

    def test_device_outcomes(self):
        mac = dict(mac="02005e100001", ip="10.0.0.9", user="admin", password=PASSWORD)
        change = {"ip": {"now": "10.0.0.5", "planned": "10.0.0.9"}}

        def entry(result, **more):
            return json.dumps([dict(mac="02005e100001", ip="10.0.0.5", result=result, changes=change, **more)])

        done = self.run_module("device", mac, out=entry("verified"))
        self.assertEqual((done["changed"], done["result"], done.get("failed")), (True, "verified", None))
        self.assertEqual(done["diff"], [dict(before_header="02005e100001", after_header="02005e100001",
                                             before={"ip": "10.0.0.5"}, after={"ip": "10.0.0.9"})])
        late = self.run_module("device", mac, status=1, out=entry("not verified", unverified=["ip"]))
        self.assertEqual((late["failed"], late["changed"], late["msg"]), (True, True, "02005e100001: not verified: ip"))
        reboot = self.run_module("device", mac, status=1, out=entry("needs reboot"))
        self.assertIn("reboot: true", reboot["msg"])
        refused = self.run_module("device", mac, status=2, err="row 2: unknown MAC 02005e100001\n")
        self.assertEqual((refused["failed"], refused["changed"]), (True, False))
        self.assertIn("unknown MAC", refused["msg"])
        checked = self.run_module("device", dict(mac, user=None, password=None), check=True, out=entry("would change"))
        self.assertEqual((checked["changed"], checked.get("failed")), (True, None))
        self.assertIn("--dry-run", self.calls()[-1]["argv"])
        needs_login = self.run_module("device", dict(mac, user=None, password=None))
        self.assertEqual(needs_login["failed"], True)
        self.assertEqual(len(self.calls()), 5, "nothing run without a login")

    def test_plan_outcomes(self):
        plan = dict(src=os.path.join(self.work, "plan.csv"), user="admin", password=PASSWORD)
        rows = [dict(mac="02005e100001", ip="10.0.0.5", result="unchanged", changes={}),
                dict(mac="02005e300001", ip=None, result="skipped", changes={})]
        same = self.run_module("plan", plan, out=json.dumps(rows))
        # "skipped" would make Ansible show the whole task as skipped
        self.assertEqual((same["changed"], same["unseen"], same["diff"]), (False, ["02005e300001"], []))
        self.assertNotIn("skipped", same)
        rows[0].update(result="failed", error="SetNetworkInterfaces: fault")
        failed = self.run_module("plan", plan, status=1, out=json.dumps(rows))
        self.assertEqual((failed["failed"], failed["changed"]), (True, True))
        self.assertEqual(failed["msg"], "02005e100001: failed: SetNetworkInterfaces: fault")
        unread = self.run_module("plan", plan, status=1, err="10.0.0.7: the login was refused\nnothing was sent\n")
        self.assertEqual((unread["failed"], unread["changed"]), (True, False))
        self.assertIn("login was refused", unread["msg"])


if __name__ == "__main__":
    try:
        unittest.main(verbosity=2)
    finally:
        shutil.rmtree(ROOT, ignore_errors=True)
