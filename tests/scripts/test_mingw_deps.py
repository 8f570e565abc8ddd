"""scripts/mingw-deps choosing source versions, against a fake apt on PATH: the newest listed version
that downloads is the one built, a version whose files cannot be fetched is passed over, and a package
with none that downloads is named with apt's own error.
usage: test_mingw_deps.py SCRIPT"""
import os
import re
import stat
import subprocess
import sys
import tempfile

# The source packages the recipe builds, as the script lists them.
with open(sys.argv[1]) as script:
    PACKAGES = re.search(r"^sources=\(([^)]*)\)", script.read(), re.M).group(1).split()

# apt-cache showsrc lists $FAKE_APT/PACKAGE's versions; apt-get source fails for a line of
# $FAKE_APT/unfetchable as Debian's mirror does for a file it does not serve, and logs each call.
APT_CACHE = """#!/bin/sh
[ "$1" = showsrc ] && [ -f "$FAKE_APT/$2" ] || exit 0
while read -r v; do printf 'Package: %s\\nVersion: %s\\n\\n' "$2" "$v"; done <"$FAKE_APT/$2"
"""
APT_GET = """#!/bin/sh
for a; do want=$a; done
echo "$want" >>"$FAKE_APT/calls"
if grep -qxF "$want" "$FAKE_APT/unfetchable"; then
  echo "Err:1 http://deb.debian.org/debian-security bookworm-security/main ${want%=*} (dsc)" >&2
  echo "  404  Not Found [IP: 192.0.2.1 80]" >&2
  echo "E: Failed to fetch http://deb.debian.org/debian-security/pool/${want%=*}.dsc  404  Not Found" >&2
  exit 100
fi
touch "$(echo "$want" | tr = _).dsc"
"""

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what)


def main(script):
    cases = [
        # what a package lists (any order), what cannot be fetched -> the versions chosen, or None
        ("a security version whose files answer 404",
         {"libpng1.6": ["1.6.39-2+deb12u5", "1.6.39-2+deb12u6"], "lzo2": ["2.10-2", "2.10-1"]},
         ["libpng1.6=1.6.39-2+deb12u6"], {"libpng1.6": "1.6.39-2+deb12u5", "lzo2": "2.10-2", "libogg": "1.0-1"}),
        ("every listed version fetched: the newest",
         {"libpng1.6": ["1.6.39-2+deb12u6", "1.6.39-2+deb12u5"]}, [], {"libpng1.6": "1.6.39-2+deb12u6"}),
        ("nothing of a package downloads", {"tinygltf": ["2.7.0+dfsg-2", "2.7.0+dfsg-1"]},
         ["tinygltf=2.7.0+dfsg-2", "tinygltf=2.7.0+dfsg-1"], None),
    ]
    for name, listed, unfetchable, chosen in cases:
        with tempfile.TemporaryDirectory(prefix="quillon-mingw-deps-") as tmp:
            fake, bin_dir = os.path.join(tmp, "apt"), os.path.join(tmp, "bin")
            os.makedirs(fake)
            os.makedirs(bin_dir)
            for tool, text in (("apt-cache", APT_CACHE), ("apt-get", APT_GET)):
                with open(os.path.join(bin_dir, tool), "w") as f:
                    f.write(text)
                os.chmod(os.path.join(bin_dir, tool), stat.S_IRWXU)
            for pkg in PACKAGES:
                with open(os.path.join(fake, pkg), "w") as f:
                    f.write("\n".join(listed.get(pkg, ["1.0-1"])) + "\n")
            with open(os.path.join(fake, "unfetchable"), "w") as f:
                f.write("".join(u + "\n" for u in unfetchable))
            env = dict(os.environ, PATH=bin_dir + ":" + os.environ["PATH"], FAKE_APT=fake,
                       QUILLON_MINGW_CACHE=os.path.join(tmp, "cache"))
            run = lambda: subprocess.run([script, "--versions"], capture_output=True, text=True, env=env)
            r = run()
            if chosen is None:
                check(r.returncode != 0, f"{name}: exit {r.returncode}")
                check("tinygltf" in r.stderr and "404  Not Found" in r.stderr, f"{name}: said {r.stderr!r}")
                continue
            check(r.returncode == 0, f"{name}: exit {r.returncode}: {r.stderr}")
            got = dict(line.split(" ", 1) for line in r.stdout.splitlines())
            check(sorted(got) == sorted(PACKAGES), f"{name}: packages {sorted(got)}")
            for pkg, version in chosen.items():
                check(got.get(pkg) == version, f"{name}: {pkg} {got.get(pkg)}, not {version}")
            # What was fetched once is chosen again without fetching it again; only a newer
            # version that failed is asked for once more.
            os.remove(os.path.join(fake, "calls"))
            again = run()
            check(again.stdout == r.stdout, f"{name}: second run chose {again.stdout!r}")
            calls = open(os.path.join(fake, "calls")).read().split() if os.path.exists(os.path.join(fake, "calls")) else []
            check(sorted(calls) == sorted(unfetchable), f"{name}: the second run fetched {calls}")
    print(f"{len(failures)} failed" if failures else "mingw-deps versions: all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
