# Copyright: Tavolix developers
# MIT License (see LICENSE)

"""Copies the plan from the controller to the managed host, then runs the
plan module there on the copy."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

from ansible.errors import AnsibleError
from ansible.module_utils.common.text.converters import to_text
from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):
    TRANSFERS_FILES = True

    def run(self, tmp=None, task_vars=None):
        result = super(ActionModule, self).run(tmp, task_vars)
        del tmp  # unused since Ansible 2.5
        arguments = self._task.args.copy()
        source = arguments.get("src")
        if not source:
            result.update(failed=True, msg="src (the plan, a CSV file on the controller) is required")
            return result
        try:
            local = self._find_needle("files", source)
        except AnsibleError as error:
            result.update(failed=True, msg=to_text(error))
            return result

        if not self._connection._shell.tmpdir:
            self._make_tmp_path()
        remote = self._connection._shell.join_path(self._connection._shell.tmpdir, "plan.csv")
        try:
            self._transfer_file(local, remote)
            self._fixup_perms2((self._connection._shell.tmpdir, remote))
            arguments["src"] = remote
            # Rows of the plan's host column are this host's by its inventory name.
            arguments.setdefault("host", (task_vars or {}).get("inventory_hostname"))
            result.update(
                self._execute_module(
                    module_name="tavolix.site.plan", module_args=arguments, task_vars=task_vars
                )
            )
        finally:
            self._remove_tmp_path(self._connection._shell.tmpdir)
        return result
