#!/usr/bin/env bash
# test_ansible.sh PURGEKIT_SCAN PURGEKIT_REPORT [SAMPLES_DIR]
#
# deploy/ansible/sweep.yml run for real by ansible-playbook against an inventory of three hosts
# on this machine (ansible_connection=local), each sweeping its own planted folder in a
# temporary folder with the native purgekit-scan: fs-alpha holds a copy of variant A (reported
# only), fs-beta nothing, fs-gamma copies of C and E (moved into its quarantine). Checked: each
# host's results/<host>/sweep.jsonl, the report written on the controller (hosts.csv,
# findings.jsonl), the quarantine, nothing left in the hosts' working folders; then
# --syntax-check of the playbook and the example inventory read by ansible-inventory.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
SCAN=$1
REPORT=$2
SAMPLES=${3:-}
FAILURES=0
fail() { echo "FAIL: $*"; FAILURES=$((FAILURES + 1)); }
command -v ansible-playbook >/dev/null || { echo "ansible-playbook is missing: run scripts/deps.sh ansible-core"; exit 1; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/report-ansible.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
export ANSIBLE_LOCAL_TEMP=$tmp/ansible-local ANSIBLE_REMOTE_TEMP=$tmp/ansible-remote
export ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_HOST_KEY_CHECKING=0
export ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 ANSIBLE_LOCALHOST_WARNING=0
cd "$tmp"   # no ansible.cfg of the caller's

ROOT=$root python3 - "$tmp/hosts" "$SAMPLES" <<'PY' || fail "planting the hosts' folders"
import os, sys
sys.path.insert(0, os.path.join(os.environ["ROOT"], "tests", "sweep"))
from sweeplib import standin, write
hosts, samples = sys.argv[1], sys.argv[2] or None
write(os.path.join(hosts, "fs-alpha/share/tools/update.exe"), standin("A", samples))
write(os.path.join(hosts, "fs-alpha/share/readme.txt"), b"nothing here\n")
write(os.path.join(hosts, "fs-beta/share/readme.txt"), b"nothing here\n")
write(os.path.join(hosts, "fs-beta/home/user/notes.txt"), b"nothing here either\n")
write(os.path.join(hosts, "fs-gamma/share/dept/dienst.dat"), standin("C", samples))
write(os.path.join(hosts, "fs-gamma/share/e.bin"), standin("E", samples))
PY
H=$tmp/hosts
cat >"$tmp/inventory.ini" <<INI
[fileservers]
fs-alpha ansible_connection=local purgekit_remote_dir=$tmp/remote/fs-alpha purgekit_sweep_paths='["$H/fs-alpha/share"]'
fs-beta ansible_connection=local purgekit_remote_dir=$tmp/remote/fs-beta purgekit_sweep_paths='["$H/fs-beta/share", "$H/fs-beta/home"]'
fs-gamma ansible_connection=local purgekit_remote_dir=$tmp/remote/fs-gamma purgekit_sweep_paths='["$H/fs-gamma/share"]' purgekit_quarantine=$H/fs-gamma/quarantine
INI

ansible-playbook -i "$tmp/inventory.ini" "$root/deploy/ansible/sweep.yml" \
    -e "purgekit_scan=$SCAN" -e "purgekit_report=$REPORT" \
    -e "purgekit_results=$tmp/results" -e "purgekit_report_dir=$tmp/report" >"$tmp/play.out" 2>&1
status=$?
[ "$status" -eq 0 ] || { fail "ansible-playbook: exit $status"; cat "$tmp/play.out"; }
grep -q 'fs-alpha *: ok=[0-9]* *changed=[0-9]* *unreachable=0 *failed=0' "$tmp/play.out" || fail "fs-alpha's play: $(tail -8 "$tmp/play.out")"
grep -q 'purgekit-report: 3 machines: 1 attention, 0 no-run, 0 second-run, 2 clean' "$tmp/play.out" ||
    fail "the report's summary is not in the play's output"
for host in fs-alpha fs-beta fs-gamma; do
    [ -s "$tmp/results/$host/sweep.jsonl" ] || fail "no results/$host/sweep.jsonl"
    [ -e "$tmp/remote/$host" ] && fail "the working folder of $host is still there"
done
PYTHONPATH=$here python3 - "$tmp" <<'PY' || fail "the report"
import os, sys
from reportlib import read_hosts, read_json_lines as objects
tmp = sys.argv[1]
found = {h: [o for o in objects(os.path.join(tmp, "results", h, "sweep.jsonl")) if o["type"] == "found"]
         for h in ("fs-alpha", "fs-beta", "fs-gamma")}
assert [len(found[h]) for h in ("fs-alpha", "fs-beta", "fs-gamma")] == [1, 0, 2], found
assert all(o["action"] == "moved" for o in found["fs-gamma"]), found["fs-gamma"]
assert "action" not in found["fs-alpha"][0], found["fs-alpha"]
rows = {r["host"]: r for r in read_hosts(os.path.join(tmp, "report", "hosts.csv"))}
assert {h: (r["status"], r["sweep_found"]) for h, r in rows.items()} == {
    "fs-alpha": ("attention", "1"), "fs-beta": ("clean", "0"), "fs-gamma": ("clean", "2")}, rows
assert rows["fs-alpha"]["failures"] == "1 dormant copy left in place", rows["fs-alpha"]
findings = objects(os.path.join(tmp, "report", "findings.jsonl"))
assert sorted((f["host"], os.path.basename(f["path"]), f["action"]) for f in findings) == [
    ("fs-alpha", "update.exe", "none"), ("fs-gamma", "dienst.dat", "moved"), ("fs-gamma", "e.bin", "moved")], findings
quarantine = os.path.join(tmp, "hosts", "fs-gamma", "quarantine")
assert sorted(f for f in os.listdir(quarantine) if f.endswith(".vir")) == sorted(f["quarantine"] for f in findings
                                                                               if f["host"] == "fs-gamma")
assert not os.path.exists(os.path.join(tmp, "hosts", "fs-gamma", "share", "e.bin"))
assert os.path.exists(os.path.join(tmp, "hosts", "fs-alpha", "share", "tools", "update.exe"))
assert os.path.exists(os.path.join(tmp, "report", "report.html"))
PY

ansible-playbook --syntax-check -i localhost, "$root/deploy/ansible/sweep.yml" >"$tmp/syntax.out" 2>&1 ||
    fail "--syntax-check: $(cat "$tmp/syntax.out")"
ansible-inventory -i "$root/deploy/ansible/inventory.example.ini" --list 2>"$tmp/inventory.err" | python3 -c '
import json, sys
inventory = json.load(sys.stdin)
hosts = inventory["fileservers"]["hosts"]
assert len(hosts) == 3 and all(isinstance(inventory["_meta"]["hostvars"][h]["purgekit_sweep_paths"], list)
                               for h in hosts), inventory' || fail "the example inventory: $(cat "$tmp/inventory.err")"

[ "$FAILURES" -eq 0 ] && echo "report.ansible: all checks passed"
exit $(( FAILURES > 0 ))
