#!/usr/bin/env bash
# Tests the package tavolix-ansible: architecture all, the collection
# tavolix.site under Ansible's default collections path and the package
# documents, nothing else and no compiled Python; installed with apt-get, an
# unprivileged user with a fresh home and no Ansible settings finds it as
# Ansible's own tools show it: ansible-doc documents the modules and their
# options, lists the three modules, and ansible-galaxy lists the collection
# with its version under /usr/share/ansible/collections. Removes the package
# at the end and checks that it leaves nothing behind.
# Usage: ansible-package-test.sh PATH/TO/tavolix-ansible_VERSION_all.deb
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/package/harness.sh
source "$here/harness.sh"
# From harness.sh: the unprivileged user's ids.
: "${user_id:?}" "${group_id:?}"

if [ "$#" -ne 1 ] || [ ! -f "$1" ]; then
    fail "usage: $0 PATH/TO/tavolix-ansible_*.deb"
fi
deb=$(readlink -f "$1")
top=$(cd "$here/../.." && pwd)

require_root_and_namespace
work=$(mktemp -d /tmp/tvx-ansible-package-test.XXXXXX)
chmod 0755 "$work"
cleanup_ansible() {
    local status=$?
    if [ "${installed_here:-}" = yes ] && dpkg-query -W tavolix-ansible >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tavolix-ansible >/dev/null 2>&1 || true
    fi
    [ "$status" -eq 0 ] || { [ -s "$work/apt.log" ] && tail -n 30 "$work/apt.log" >&2; }
    rm -rf "$work"
    return "$status"
}
trap cleanup_ansible EXIT

collections=/usr/share/ansible/collections
collection=$collections/ansible_collections/tavolix/site
modules=(devices_info device plan)

step "the package is for every architecture and depends on Ansible, not on tavolix-cli"
[ "$(dpkg-deb -f "$deb" Architecture)" = all ] ||
    fail "its architecture is $(dpkg-deb -f "$deb" Architecture)"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[ "$depends" = "ansible-core (>= 2.14) | ansible" ] || fail "it depends on: $depends"
[ "$(dpkg-deb -f "$deb" Suggests)" = tavolix-cli ] ||
    fail "it suggests: $(dpkg-deb -f "$deb" Suggests)"

step "the package holds the collection as ansible-galaxy installs it, and the documents"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./|/|' | sort >"$work/contents"
outside=$(grep -Ev "^($collection/|/usr/share/doc/tavolix-ansible/(copyright|changelog\.Debian\.gz)\$|/usr/share/lintian/overrides/tavolix-ansible\$)" \
    "$work/contents") && fail "files outside the collection and the documents: $outside"
for path in "${modules[@]/#/$collection/plugins/modules/}" ; do
    grep -qx "$path.py" "$work/contents" || fail "the package lacks $path.py"
done
for path in "$collection"/{MANIFEST.json,FILES.json,meta/runtime.yml} \
    /usr/share/doc/tavolix-ansible/{copyright,changelog.Debian.gz}; do
    grep -qx "$path" "$work/contents" || fail "the package lacks $path"
done
! grep -E '(\.pyc|/__pycache__/.*)$' "$work/contents" || fail "the package holds compiled Python"
# The modules are the collection's own, unchanged.
dpkg-deb -x "$deb" "$work/unpacked"
for module in "${modules[@]}"; do
    cmp "$top/integrations/ansible/plugins/modules/$module.py" \
        "$work/unpacked$collection/plugins/modules/$module.py" ||
        fail "the packaged $module.py differs from integrations/ansible"
done
version=$(sed -n 's/^version:[[:space:]]*//p' "$top/integrations/ansible/galaxy.yml")

step "apt-get installs it"
apt_get install --reinstall "$deb"

# As a user on the controller runs Ansible: unprivileged, a home of their own
# without a collection in it, no ANSIBLE_* settings, from an unrelated folder.
home=$work/home
mkdir "$home"
chown "$user_id:$group_id" "$home"
as_user() {
    (cd "$home" && setpriv --reuid="$user_id" --regid="$group_id" --clear-groups \
        env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@")
}

# documents MODULE OPTION...: ansible-doc shows the installed module, without
# a warning, and each option as it marks them ("= x" mandatory, "- x" not).
documents() {
    local module=$1 option
    shift
    as_user ansible-doc "tavolix.site.$module" >"$work/doc.log" 2>&1 ||
        fail "ansible-doc tavolix.site.$module failed: $(<"$work/doc.log")"
    head -n 1 "$work/doc.log"
    grep -q "^> TAVOLIX.SITE.${module^^} .*($collection/plugins/modules/$module.py)" \
        "$work/doc.log" || fail "ansible-doc did not read the installed $module.py"
    ! grep -q '^\[WARNING\]\|^ERROR' "$work/doc.log" || fail "ansible-doc warns: $(<"$work/doc.log")"
    for option in "$@"; do
        grep -qx -- "$option" "$work/doc.log" ||
            fail "ansible-doc tavolix.site.$module shows no option '$option'"
    done
}

step "ansible-doc documents each module and its options"
documents device '= mac' '- password' '- reboot' '- ip' '- http_port' '- user'
documents plan '= src' '- password' '- reboot'
documents devices_info '- interfaces' '- protocol' '- password'

step "ansible-doc lists the three modules"
as_user ansible-doc -l tavolix.site >"$work/list.log" 2>&1 ||
    fail "ansible-doc -l tavolix.site failed: $(<"$work/list.log")"
cat "$work/list.log"
awk '{print $1}' "$work/list.log" | sort >"$work/listed"
printf 'tavolix.site.%s\n' "${modules[@]}" | sort | diff -u - "$work/listed" >"$work/list.diff" ||
    fail "ansible-doc -l lists other modules: $(<"$work/list.diff")"

step "ansible-galaxy lists the collection and its version under $collections"
as_user ansible-galaxy collection list tavolix.site >"$work/galaxy.log" 2>&1 ||
    fail "ansible-galaxy collection list failed: $(<"$work/galaxy.log")"
cat "$work/galaxy.log"
grep '^# ' "$work/galaxy.log" >"$work/paths" || true
[ "$(<"$work/paths")" = "# $collections/ansible_collections" ] ||
    fail "ansible-galaxy lists tavolix.site in: $(<"$work/paths")"
grep -Eqx "tavolix\.site +${version//./\\.} *" "$work/galaxy.log" ||
    fail "ansible-galaxy does not list tavolix.site $version"

step "removing the package"
apt_get purge tavolix-ansible
[ ! -e "$collections/ansible_collections/tavolix" ] ||
    fail "left after the purge: $(find "$collections/ansible_collections/tavolix")"
echo "ansible-package-test: passed"
