#!/usr/bin/env bash
# Installs the Debian package with apt-get and uses the installed program as a
# user would: starts it with the menu entry's command from an unrelated
# folder, as an unprivileged user with a fresh home, under Xvfb inside a
# network namespace of its own (the program broadcasts as soon as it starts).
# Checks the window, the user's language database, a language switch made in
# the window, and that the choice survives a restart, a reinstall and an
# upgrade that ships a different database, and that firewalld and ufw load
# the firewall profiles. Removes the package at the end.
# Usage: installed-program-test.sh PATH/TO/tavolix_VERSION_ARCH.deb
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/package/harness.sh
source "$here/harness.sh"

if [ "$#" -ne 1 ] || [ ! -f "$1" ]; then
    fail "usage: $0 PATH/TO/tavolix_*.deb"
fi
deb=$(readlink -f "$1")

require_root_and_namespace
make_sandbox

program=/usr/lib/tavolix/tavolix
shipped=/usr/share/tavolix/language.db
desktop=/usr/share/applications/org.tavolix.Tavolix.desktop
metainfo=/usr/share/metainfo/org.tavolix.Tavolix.metainfo.xml
firewalld_service=/usr/lib/firewalld/services/tavolix.xml
ufw_profile=/etc/ufw/applications.d/tavolix
user_folder=$home/.local/share/tavolix
copy=$user_folder/language.db
french=3

step "the package holds the program, the launcher, the data and no other program"
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
for path in /usr/bin/tavolix "$program" "$shipped" "$desktop" "$metainfo" \
    /usr/share/man/man1/tavolix.1.gz /usr/share/icons/hicolor/scalable/apps/tavolix.svg \
    /usr/share/icons/hicolor/{16x16,32x32,48x48}/apps/tavolix.png \
    "$firewalld_service" "$ufw_profile" /usr/share/doc/tavolix/{copyright,changelog.Debian.gz}; do
    grep -qx "$path" <<<"$contents" || fail "the package lacks $path"
done
dpkg-deb -x "$deb" "$work/unpacked"
programs=$(find "$work/unpacked" -type f -exec file -b {} + | grep -c '^ELF') || true
[ "$programs" -eq 1 ] || fail "the package holds $programs ELF files; only the program belongs in it"
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l \
    "$work/unpacked/usr/share/man/man1/tavolix.1.gz" 2>"$work/man.log" >/dev/null ||
    fail "the manual page does not render"
[ ! -s "$work/man.log" ] || fail "the manual page renders with warnings: $(<"$work/man.log")"

step "apt-get installs the package"
apt_get install --reinstall "$deb"
for path in /usr/bin/tavolix "$program" "$shipped"; do
    [ -e "$path" ] || fail "$path missing after the install"
done
check_dependencies_cover "$program"

step "the desktop entry and the metainfo validate"
validate_desktop_entry "$desktop"
validate_metainfo "$metainfo"
grep -qx 'Icon=tavolix' "$desktop" || fail "the desktop entry names another icon"
grep -qx 'Categories=Network;Utility;' "$desktop" || fail "the desktop entry's categories changed"

step "the firewall profiles load and open UDP ports 3566 and 3567"
dpkg-query -W -f='${Conffiles}\n' tavolix | grep -q "^ $ufw_profile " ||
    fail "$ufw_profile is not a conffile"
validate_firewall_profiles

step "first start from the menu's command: English window, the user's copy made"
start_from_menu "$desktop"
window=$(wait_for_window '^Tavolix$')
check_program_process "$copy"
[ "$(stat -c %u "$copy")" = "$user_id" ] || fail "$copy does not belong to the user"
[ "$(sha256sum <"$copy")" = "$(sha256sum <"$shipped")" ] || fail "$copy differs from $shipped"
[ "$(stored_language "$copy")" = 0 ] || fail "a fresh copy does not start in English"
geometry=$(window_geometry "$window")
[ "$geometry" = "470x440" ] || fail "the window is $geometry, not 470x440"
# Docks and task bars match the window to the menu entry by its class.
entry_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
window_class=$(in_namespace xprop -id "$window" WM_CLASS | sed -n 's/.*, "\(.*\)"$/\1/p')
[ "$window_class" = "$entry_class" ] ||
    fail "the window's class '$window_class' is not the entry's StartupWMClass '$entry_class'"

step "choosing French in the language box switches the window and stores the choice"
choose_language_in_window "$window" "$french"
wait_until 10 "the choice to be stored in $copy" stored_language_is "$copy" "$french"
close_with_exit "$window"
copy_inode=$(stat -c %i "$copy")

# Starts the program from the menu's command, waits for its window (titled
# "Tavolix" in every language) and ends it with Exit; the copy must still hold
# French as the language the window started in.
run_french_window() {
    start_from_menu "$desktop"
    local french_window
    french_window=$(wait_for_window '^Tavolix$') # fails the test when it never comes
    [ "$(stored_language "$copy")" = "$french" ] || fail "the window did not start in French"
    close_with_exit "$french_window"
}

step "after a restart the window is in French and the copy is the same file"
run_french_window
[ "$(stat -c %i "$copy")" = "$copy_inode" ] || fail "an unchanged database was copied again"

step "after apt-get install --reinstall the choice is still French"
apt_get install --reinstall "$deb"
run_french_window
[ "$(stored_language "$copy")" = "$french" ] || fail "the reinstall lost the language choice"

step "an upgrade with a different database replaces the copy and keeps French"
upgrade=$(repack_with_changed_database "$deb" "update interface set exit_button = 'Fermer' where language = 'French';")
apt_get install "$upgrade"
run_french_window
[ "$(sqlite3 -readonly "$copy" "select exit_button from interface where language = 'French';")" = Fermer ] ||
    fail "the upgrade's database did not replace the user's copy"
[ "$(stored_language "$copy")" = "$french" ] || fail "replacing the copy lost the language choice"

step "XDG_DATA_HOME, when set, holds the copy"
start_from_menu "$desktop" XDG_DATA_HOME="$home/data"
window=$(wait_for_window '^Tavolix$')
close_with_exit "$window"
[ -f "$home/data/tavolix/language.db" ] || fail "no copy in \$XDG_DATA_HOME/tavolix"

step "removing the package"
apt_get purge tavolix
for path in /usr/bin/tavolix "$program" "$shipped" "$firewalld_service" "$ufw_profile"; do
    [ ! -e "$path" ] || fail "$path left after the purge"
done
echo "installed-program-test: passed"
