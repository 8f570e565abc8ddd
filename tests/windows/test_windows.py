"""The Windows programs under Wine, against the Linux build.

usage: test_windows.py imports QUILLON_EXE QUILLON_CLI_EXE
       test_windows.py cli LINUX_CLI LINUX_MAKE_SAMPLES WINDOWS_CLI
       test_windows.py window QUILLON_EXE LINUX_CLI LINUX_MAKE_SAMPLES
       test_windows.py package ZIP SETUP_EXE

Wine comes from the environment (WINEPREFIX, DISPLAY: scripts/windows sets
them up); `cli` and `window` need a display only for `window`."""
import array
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what)
    return ok


def wine_env():
    return dict(os.environ, WINEDEBUG="-all", LANG="C.UTF-8", LC_ALL="C.UTF-8")


# ---- imports: the programs run alone, with Windows' own DLLs only

WINDOWS_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "opengl32.dll", "rpcrt4.dll", "setupapi.dll",
    "shell32.dll", "shlwapi.dll", "user32.dll", "uuid.dll", "uxtheme.dll", "version.dll",
    "winmm.dll", "winspool.drv", "ws2_32.dll", "bcrypt.dll", "cfgmgr32.dll", "dinput8.dll",
    "oleacc.dll", "dwmapi.dll", "hid.dll",
}


def imports(*programs):
    for program in programs:
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", program], capture_output=True, text=True)
        check(dump.returncode == 0, f"objdump -p {program}: {dump.stderr}")
        dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump.stdout)}
        print(os.path.basename(program), "imports", *sorted(dlls))
        check("kernel32.dll" in dlls, f"{program}: no import table read")
        check(dlls <= WINDOWS_DLLS, f"{program} needs {sorted(dlls - WINDOWS_DLLS)} beside it")


# ---- cli: every command and form gives the Linux build's bytes

EXPORT_FORMS = [[], ["--interpreted"], ["--wav"], ["--png"], ["--gltf"], ["--glb"], ["--obj-mtl"]]
EXTRACT_FORMS = [[], ["--interpreted"], ["--wav"], ["--png"], ["--gltf"], ["--glb"], ["--obj-mtl"],
                 ["--interpreted", "--wav", "--png", "--glb"], ["--match", "*tex*", "--jobs", "1"]]


def tree(root):
    """Every file under root: relative path -> digest of its bytes; a WAV
    file's samples are kept whole instead (see same_files)."""
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                data = f.read()
            key = os.path.relpath(path, root)
            if data[:4] == b"RIFF" and data[8:12] == b"WAVE" and len(data) > 44:
                files[key] = (data[:44], array.array("h", data[44:44 + (len(data) - 44) // 2 * 2]))
            else:
                files[key] = hashlib.sha256(data).hexdigest()
    return files


def same_files(a, b):
    """The same names with the same bytes, but for decoded sound: libvorbis
    computes in floating point with the C runtime's maths, so a sample may
    round one step apart (Windows' msvcrt against glibc). Its header, length
    and every other sample must still agree."""
    if a.keys() != b.keys():
        return False
    for name, x in a.items():
        y = b[name]
        if isinstance(x, tuple) and isinstance(y, tuple):
            if x[0] != y[0] or len(x[1]) != len(y[1]) or any(abs(p - q) > 1 for p, q in zip(x[1], y[1])):
                return False
        elif x != y:
            return False
    return True


class Side:
    """One build's CLI, run in a folder of its own with the same relative paths."""

    def __init__(self, name, command, root):
        self.name, self.command, self.root = name, command, os.path.join(root, name)
        os.makedirs(self.root)

    def run(self, args):
        out = os.path.join(self.root, "out")
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        r = subprocess.run(self.command + args, cwd=self.root, capture_output=True, env=wine_env(), timeout=300)
        return r.returncode, r.stdout, tree(out)


def cli(linux_cli, make_samples, windows_cli):
    linux_cli, make_samples, windows_cli = map(os.path.abspath, (linux_cli, make_samples, windows_cli))
    with tempfile.TemporaryDirectory(prefix="quillon-windows-") as root:
        samples = os.path.join(root, "samples")
        subprocess.run([make_samples, samples], check=True, capture_output=True)
        # A folder whose name is no ASCII, with an archive and its companions.
        accented = os.path.join(samples, "\u00c9t\u00e9", "D\u00e4mmer \u6863\u6848")
        os.makedirs(accented)
        for name in os.listdir(samples):
            if name.startswith("GLOBAL"):
                shutil.copy(os.path.join(samples, name), os.path.join(accented, name.replace("GLOBAL", "Gl\u00f6bal")))

        linux = Side("linux", [linux_cli], root)
        windows = Side("windows", ["wine", windows_cli], root)
        archives = sorted(os.path.relpath(os.path.join(d, f), root).replace(os.sep, "/")
                          for d, _, fs in os.walk(samples) for f in fs
                          if f.endswith(".PAK") and not re.search(r"_\d\d\.PAK$", f))
        commands = []
        for archive in archives:
            path = "../" + archive
            commands += [["list", path], ["list", path, "--long"], ["list", path, "--json"]]
            # Names as bytes: an archive's names need not be UTF-8.
            entries = subprocess.run([linux_cli, "list", archive], cwd=root, capture_output=True).stdout.splitlines()
            check(entries, f"{archive}: no entries listed")
            # The copy in the accented folder is GLOBAL.PAK again: what it adds
            # is its paths, which its listing, one entry and every extraction
            # (each entry through the companions) cover.
            if archive.startswith("samples/\u00c9t\u00e9"):
                entries = entries[:1]
            for n, entry in enumerate(entries):
                commands += [["show", path, entry], ["show", path, entry, "--json"]]
                commands += [["export", path, entry, "-o", f"out/e{n}"] + form for form in EXPORT_FORMS]
            commands += [["extract", path, "-o", "out/x"] + form for form in EXTRACT_FORMS]

        started = time.monotonic()
        for args in commands:
            expected, got = linux.run(args), windows.run(args)
            what = "quillon-cli " + " ".join(os.fsdecode(a) for a in args)
            check(got[0] == expected[0], f"{what}: exit status {got[0]}, Linux {expected[0]}")
            check(got[1] == expected[1], f"{what}: standard output differs\n  windows {got[1][:300]!r}\n"
                                         f"  linux   {expected[1][:300]!r}")
            check(same_files(got[2], expected[2]), f"{what}: written files differ: windows {sorted(got[2])[:8]}, "
                                         f"linux {sorted(expected[2])[:8]}")
        print(f"{len(commands)} commands on {len(archives)} archives in {time.monotonic() - started:.0f} s")
        check(len(commands) > 100, "too few commands: the samples were not read")


# ---- window: starts, opens the archive it is given, draws a texture

def window_ids(name):
    r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], capture_output=True, text=True)
    return r.stdout.split()


def wait_for(what, seconds, probe):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = probe()
        if value:
            return value
        time.sleep(0.5)
    check(False, what)
    return None


def texture_corners(linux_cli, archive, folder):
    """The top-left 24 x 24 texels of each opaque, patterned texture of the
    archive, as the Linux build decodes them: what the GL view shows at its
    first zoom step, one texel a pixel."""
    from PIL import Image

    corners = {}
    names = subprocess.run([linux_cli, "list", archive], capture_output=True, check=True).stdout.splitlines()
    for n, name in enumerate(e for e in names if e.startswith(b"textures\\")):
        png = os.path.join(folder, f"t{n}.png")
        if subprocess.run([linux_cli, "export", archive, name, "-o", png, "--png"], capture_output=True).returncode:
            continue
        image = Image.open(png).convert("RGBA")
        if image.width < 24 or image.height < 24:
            continue
        corner = image.crop((0, 0, 24, 24))
        if corner.getextrema()[3][0] == 255 and len(corner.getcolors(1024) or []) > 1:
            corners[os.fsdecode(name)] = corner.convert("RGB")
    return corners


def find_patch(shot, patch, tolerance=3):
    """Where `patch` shows in `shot`, each channel within `tolerance` (GL and
    our decoder may round a block's in-between colours apart), or None."""
    from PIL import ImageChops

    first = patch.getpixel((0, 0))
    masks = [band.point([255 if abs(v - first[i]) <= tolerance else 0 for v in range(256)])
             for i, band in enumerate(shot.split())]
    near = ImageChops.darker(ImageChops.darker(masks[0], masks[1]), masks[2]).tobytes()
    at = near.find(b"\xff")
    while at >= 0:
        x, y = at % shot.width, at // shot.width
        if x + patch.width <= shot.width and y + patch.height <= shot.height:
            diff = ImageChops.difference(shot.crop((x, y, x + patch.width, y + patch.height)), patch)
            if max(high for _, high in diff.getextrema()) <= tolerance:
                return x, y
        at = near.find(b"\xff", at + 1)
    return None


def window(quillon_exe, linux_cli, make_samples):
    """The last line of GLOBAL.PAK is a texture: End selects it, and View >
    Save View As PNG writes what the GL view drew, read back from GL. Wine
    draws a GL child window off the screen on a plain X server, so the screen
    itself cannot show the view; the read-back is what GL drew."""
    from PIL import Image

    quillon_exe, linux_cli, make_samples = map(os.path.abspath, (quillon_exe, linux_cli, make_samples))
    with tempfile.TemporaryDirectory(prefix="quillon-window-") as root:
        samples = os.path.join(root, "S\u00e4mples")
        subprocess.run([make_samples, samples], check=True, capture_output=True)
        archive = os.path.join(samples, "GLOBAL.PAK")
        corners = texture_corners(linux_cli, archive, root)
        last = os.fsdecode(subprocess.run([linux_cli, "list", archive], capture_output=True,
                                          check=True).stdout.splitlines()[-1])
        if not check(last in corners, f"the archive's last line {last} is no patterned opaque texture"):
            return
        viewer = subprocess.Popen(["wine", quillon_exe, archive],
                                  env=wine_env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        saved = os.path.join(root, "view.png")
        shot = os.path.join(tempfile.gettempdir(), "quillon-wine-window.png")

        def key(*keys):
            subprocess.run(["xdotool", "key", "--delay", "100", *keys], capture_output=True)
            time.sleep(1)

        try:
            ids = wait_for("no window titled Quillon", 120, lambda: window_ids("^Quillon$"))
            if not ids:
                return
            # A click in the entry list's top left gives the list the keyboard.
            time.sleep(3)
            subprocess.run(["xdotool", "mousemove", "--window", ids[0], "60", "120", "click", "1"],
                           capture_output=True)
            time.sleep(1)
            key("End")
            key("alt+v", "p")
            if wait_for("View > Save View As PNG opened no Save As dialog", 30, lambda: window_ids("^Save As$")):
                subprocess.run(["xdotool", "type", "--delay", "30", "Z:" + saved.replace("/", "\\")],
                               capture_output=True)
                key("Return")
                wait_for(f"no {saved} written", 30, lambda: os.path.exists(saved) and os.path.getsize(saved))
            subprocess.run(["import", "-window", "root", shot], capture_output=True)
            if not os.path.exists(saved):
                print(f"the screen is in {shot}")
                return
            view = Image.open(saved).convert("RGB")
            # At the first zoom step a texel is a pixel, from the view's top left.
            if check(find_patch(view, corners[last]) == (0, 0),
                     f"{last} not drawn at the view's top left: see {shot}.view.png and {shot}"):
                print(f"{last} drawn in a {view.width} x {view.height} view")
            else:
                shutil.copy(saved, shot + ".view.png")
        finally:
            viewer.terminate()
            try:
                viewer.wait(10)
            except subprocess.TimeoutExpired:
                viewer.kill()


# ---- package: the zip holds what the installer installs, and both are complete

def package(zip_path, setup_exe):
    import zipfile

    name = os.path.basename(zip_path)[:-len(".zip")]
    with zipfile.ZipFile(zip_path) as z:
        listed = set(z.namelist())
    for file in ["quillon.exe", "quillon-cli.exe", "README.txt", "LICENSE.txt", "licenses/wxwidgets3.2.txt",
                 "licenses/libsdl2.txt", "licenses/mingw-w64-common.txt"]:
        check(f"{name}/{file}" in listed, f"{zip_path} has no {file}")

    # Installed silently into a folder of the test's own, the association
    # left at its default (off), then uninstalled.
    drive_c = os.path.join(os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine")), "drive_c")
    target = os.path.join(drive_c, "QuillonTest")
    shortcut = os.path.join(drive_c, "ProgramData/Microsoft/Windows/Start Menu/Programs/Quillon.lnk")
    env = wine_env()
    r = subprocess.run(["wine", setup_exe, "/S", "/D=C:\\QuillonTest"], env=env, capture_output=True, timeout=300)
    check(r.returncode == 0, f"installer exit status {r.returncode}")
    for file in ["quillon.exe", "quillon-cli.exe", "uninstall.exe", "licenses/libpng1.6.txt"]:
        check(os.path.exists(os.path.join(target, file)), f"installer: no {file}")
    check(os.path.exists(shortcut), "installer: no Start menu entry")
    version = subprocess.run(["wine", os.path.join(target, "quillon-cli.exe"), "--version"], env=env,
                             capture_output=True, text=True)
    check(version.returncode == 0 and version.stdout.strip(), "the installed quillon-cli does not run")
    query = subprocess.run(["wine", "reg", "query", "HKLM\\Software\\Classes\\.pak"], env=env,
                           capture_output=True, text=True)
    check(query.returncode != 0, "installer: .pak associated although the choice is off by default")

    subprocess.run(["wine", os.path.join(target, "uninstall.exe"), "/S", "_?=C:\\QuillonTest"], env=env,
                   capture_output=True, timeout=300)
    # _? keeps the uninstaller from copying itself away; it is left to us.
    left = [f for f in os.listdir(target) if f != "uninstall.exe"] if os.path.isdir(target) else []
    check(not left, f"uninstaller left {left}")
    check(not os.path.exists(shortcut), "uninstaller left the Start menu entry")
    shutil.rmtree(target, ignore_errors=True)


def main():
    command, args = sys.argv[1], sys.argv[2:]
    {"imports": imports, "cli": cli, "window": window, "package": package}[command](*args)
    print(f"{len(failures)} failed" if failures else f"{command}: all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
