# Copyright: Tavolix developers
# MIT License (see LICENSE)

"""Runs tavolixctl on the managed host for the modules of tavolix.site.

The devices' password goes to tavolixctl's standard input, never into its
arguments or its environment, where other users of the host and Ansible's
own logs could read it.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import re

# What the modules read from tavolixctl follows its JSON schema 1, which
# `tavolixctl --version` names; a tavolixctl of another schema is refused.
JSON_SCHEMA = 1
# Its exit statuses.
EXIT_SUCCESS = 0
EXIT_INCOMPLETE = 1  # nothing found, not verified, failed, or a device unread
# apply's results for a device that did not end as planned.
TROUBLE_RESULTS = frozenset(["not verified", "needs reboot", "failed"])
NEEDS_REBOOT = "needs reboot"
SKIPPED = "skipped"  # the device did not answer on this host

SEARCH_ARGUMENTS = dict(
    interfaces=dict(type="list", elements="str", default=[]),
    protocol=dict(type="str", default="all", choices=["all", "native", "onvif"]),
    user=dict(type="str"),
    password=dict(type="str", no_log=True),
    adopt=dict(type="bool", default=False),
)

CHANGE_ARGUMENTS = dict(
    SEARCH_ARGUMENTS,
    reboot=dict(type="bool", default=False),
    timeout=dict(type="int"),
)


class Tavolixctl(object):
    """tavolixctl on the host, with the module's search options and login."""

    def __init__(self, module):
        self.module = module
        self.binary = module.get_bin_path("tavolixctl", required=True)
        self.check_schema()

    def check_schema(self):
        """Fails the module unless tavolixctl speaks the JSON schema the
        collection reads: another would be misread, not refused."""
        status, out, err = self.module.run_command([self.binary, "--version"])
        if status != EXIT_SUCCESS:
            self.fail(status, "%s --version failed: %s" % (self.binary, err.strip()))
        schema = re.search(r"^json-schema (\d+)$", out, re.M)
        if schema is None or int(schema.group(1)) != JSON_SCHEMA:
            version = (out.splitlines() or ["tavolixctl"])[0]
            spoken = "JSON schema " + schema.group(1) if schema else "no JSON schema"
            self.module.fail_json(
                msg="%s at %s speaks %s; this collection needs %d" % (version, self.binary, spoken, JSON_SCHEMA)
            )

    def run(self, command, arguments):
        """Runs a command; returns (status, stdout, stderr)."""
        params = self.module.params
        argv = [self.binary, command] + list(arguments)
        for interface in params["interfaces"]:
            argv += ["--interface", interface]
        argv += ["--protocol", params["protocol"]]
        if params["adopt"]:
            argv.append("--adopt")
        password = None
        if params["user"] is not None:
            password = params["password"] or ""
            # tavolixctl reads the password as one line of its standard input.
            if "\n" in password or "\r" in password:
                self.module.fail_json(msg="the password has a line break; tavolixctl reads it as one line, so it would be cut there")
            argv += ["--user", params["user"], "--password-file", "-"]
        return self.module.run_command(argv, data=password)

    def fail(self, status, err, **result):
        message = err.strip() or "tavolixctl exited with status %d" % status
        self.module.fail_json(msg=message, rc=status, **result)

    def apply(self, plan_path, dry_run=False, skip_missing=False, host=None):
        """Applies a plan (only the rows of the named host, when given);
        returns (status, report, stderr) where report is apply's JSON report,
        one entry per row applied, or None if it made none."""
        arguments = [plan_path, "--format", "json"]
        if host:
            arguments += ["--host", host]
        params = self.module.params
        if dry_run:
            arguments.append("--dry-run")
        else:
            if params["timeout"] is not None:
                arguments += ["--timeout", str(params["timeout"])]
            if params["reboot"]:
                arguments.append("--reboot")
        if skip_missing:
            arguments.append("--skip-missing")
        status, out, err = self.run("apply", arguments)
        return status, parse_json_list(out), err


def parse_json_list(text):
    """The JSON array tavolixctl printed, or None when it printed none."""
    if not text.strip():
        return None
    try:
        value = json.loads(text)
    except ValueError:
        return None
    return value if isinstance(value, list) else None


def finish(module, status, err, entries, **result):
    """Ends the module with apply's report on the entries: changed only when
    a device was sent something (in check mode: would be), not when it was
    refused before anything went out; a failure naming
    each device that did not end as planned, with tavolixctl's reason."""
    if module.check_mode:
        changed = any(entry.get("changes") for entry in entries)
    else:
        changed = any(entry.get("sent") for entry in entries)
    result.update(changed=changed, diff=diff_of(entries))
    trouble = trouble_of(entries)
    if status != EXIT_SUCCESS or trouble:
        module.fail_json(msg="; ".join(trouble + [err.strip()]).strip("; "), rc=status, **result)
    module.exit_json(**result)


def diff_of(entries):
    """Ansible's before/after view of apply's reported changes: after is what
    the device held when read back, where it was (a change refused midway
    leaves something else than planned), else what was planned."""
    diffs = []
    for entry in entries:
        changes = entry.get("changes") or {}
        if not changes:
            continue
        header = entry["mac"]
        diffs.append(
            dict(
                before_header=header,
                after_header=header,
                before=dict((key, change["now"]) for key, change in changes.items()),
                after=dict((key, change.get("after") or change["planned"]) for key, change in changes.items()),
            )
        )
    return diffs


def trouble_of(entries):
    """One line per device that did not end as planned."""
    lines = []
    for entry in entries:
        result = entry.get("result")
        if result in TROUBLE_RESULTS:
            detail = entry.get("error") or ", ".join(entry.get("unverified") or [])
            if result == NEEDS_REBOOT:
                detail = "in effect only after a reboot (reboot: true reboots it)"
            lines.append("%s: %s%s" % (entry["mac"], result, ": " + detail if detail else ""))
    return lines
