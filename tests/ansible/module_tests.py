#!/usr/bin/env python3
"""The collection's filters and modules without devices.

The modules run with tavolixctl replaced by a scripted stand-in, which plays
back outcomes that the site test (site_e2e.py, with the real tavolixctl) does
not stage: a device not verified or needing a reboot, a failed call, a
system error.
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
            "seg1": {"tavolix_devices": [{"mac": "02005e100001"}, {"mac": None, "ip": "10.1.0.9"}]},
            "seg2": {"tavolix_devices": [{"mac": "02005e100001"}, {"mac": "02005e200001"}]},
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


LOGIN = dict(user="admin", password=PASSWORD)
DEVICE = dict(LOGIN, mac="02005e100001", ip="10.0.0.9")


def report(result, **more):
    change = {"ip": {"now": "10.0.0.5", "planned": "10.0.0.9"}}
    return json.dumps([dict(mac="02005e100001", ip="10.0.0.5", result=result, changes=change, **more)])


# What the site test cannot make the real devices answer on demand. A row:
# module, its arguments, tavolixctl's (status, stdout, stderr), what the result
# holds (msg: a part of it), arguments tavolixctl must be given (None: not run).
OUTCOMES = [
    ("devices_info", dict(LOGIN, interfaces=["eth1"], protocol="onvif"), (1, "[]", "none answered\n"),
     dict(devices=[], changed=False), ["--interface", "eth1", "--protocol", "onvif", "--password-file", "-"]),
    ("devices_info", {}, (1, '[{"mac": null}]', "10.0.0.7: refused\n"),
     dict(devices=[{"mac": None}], warnings=["10.0.0.7: refused"]), ["--timeout", "1500"]),
    ("devices_info", {}, (3, "", "UDP port 3566 is in use\n"),
     dict(failed=True, msg="UDP port 3566 is in use"), []),
    ("device", DEVICE, (1, report("not verified", unverified=["ip"]), ""),
     dict(failed=True, changed=True, msg="02005e100001: not verified: ip", unverified=["ip"]),
     ["--timeout", "15000"]),
    ("device", dict(DEVICE, reboot=True, timeout=60000), (1, report("needs reboot"), ""),
     dict(failed=True, changed=True, msg="reboot: true"), ["--reboot", "--timeout", "60000"]),
    ("device", dict(DEVICE, user=None, password=None), (0, "", ""),
     dict(failed=True, msg="user and password"), None),
    ("plan", dict(LOGIN, src="/plan.csv"), (1, report("failed", error="SetNetworkInterfaces: fault"), ""),
     dict(failed=True, changed=True, msg="02005e100001: failed: SetNetworkInterfaces: fault"),
     ["--skip-missing"]),
]


class Modules(unittest.TestCase):
    def test_outcomes_of_tavolixctl_played_back(self):
        work = tempfile.mkdtemp(prefix="tavolix-module-", dir=ROOT)
        os.mkdir(os.path.join(work, "bin"))
        with open(os.path.join(work, "bin", "tavolixctl"), "w") as file:
            file.write(STANDIN)
        os.chmod(os.path.join(work, "bin", "tavolixctl"), 0o755)
        log = os.path.join(work, "calls")
        for module, args, (status, out, err), expected, arguments in OUTCOMES:
            with self.subTest(module=module, expected=expected):
                env = dict(os.environ, PATH=os.path.join(work, "bin") + os.pathsep + os.environ["PATH"],
                           PYTHONPATH=ROOT, PYTHONDONTWRITEBYTECODE="1", STANDIN_LOG=log,
                           STANDIN_STATUS=str(status), STANDIN_OUT=out, STANDIN_ERR=err)
                done = subprocess.run(
                    [sys.executable, os.path.join(COLLECTION, "plugins", "modules", module + ".py")],
                    input=json.dumps(dict(ANSIBLE_MODULE_ARGS=dict(args, _ansible_tmpdir=work))),
                    capture_output=True, text=True, env=env, check=False)
                result = json.loads(done.stdout)
                for key, value in expected.items():
                    if key == "msg":
                        self.assertIn(value, result["msg"])
                    else:
                        self.assertEqual(result.get(key), value, key)
                calls = []
                if os.path.exists(log):
                    with open(log) as file:
                        calls = [json.loads(line) for line in file]
                    os.remove(log)
                self.assertEqual(len(calls), 0 if arguments is None else 1)
                for call in calls:
                    self.assertTrue(all(argument in call["argv"] for argument in arguments), call["argv"])
                    self.assertEqual(call["stdin"], PASSWORD + "\n" if args.get("user") else "")
                    self.assertIsNone(call["env"])
                    self.assertNotIn(PASSWORD, " ".join(call["argv"]) + done.stdout + done.stderr)


if __name__ == "__main__":
    try:
        unittest.main(verbosity=2)
    finally:
        shutil.rmtree(ROOT, ignore_errors=True)
