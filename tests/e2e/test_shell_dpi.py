"""The shell at a chosen DPI (TIVRA_SHELL_DPI, 96 or 144) in a Wine prefix of its own whose
LogPixels says so, with Wine's desktop window so captions show; also takes the screenshots."""
import os
import shutil
import subprocess
import sys
import unittest

DPI = int(os.environ.get("TIVRA_SHELL_DPI", "144"))
BUILD = os.environ["TIVRA_BUILD_DIR"]
PREFIX = os.path.join(os.path.realpath(BUILD), f"wineprefix-dpi{DPI}")
WINE, WINESERVER = "/usr/lib/wine/wine64", "/usr/lib/wine/wineserver"


def prepare_prefix():
    """Boots the prefix once: the CJK font stand-in, the DPI, and a 1280 x 1024 Wine desktop."""
    marker = os.path.join(PREFIX, ".tivra-dpi-ready")
    if os.path.exists(marker):
        return
    shutil.rmtree(PREFIX, ignore_errors=True)
    env = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env, timeout=300)
    subprocess.run([WINE, "wineboot", "-i"], **quiet)
    reg = os.path.join(BUILD, f"shell-dpi{DPI}.reg")
    with open(reg, "w", encoding="ascii") as f:
        f.write("REGEDIT4\n\n"
                "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n"
                '"Microsoft YaHei UI"="WenQuanYi Micro Hei"\n"Microsoft YaHei"="WenQuanYi Micro Hei"\n'
                '"SimSun"="WenQuanYi Micro Hei"\n"Segoe UI"="WenQuanYi Micro Hei"\n"Tahoma"="WenQuanYi Micro Hei"\n\n'
                "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
                f'"LogPixels"=dword:{DPI:08x}\n\n'
                "[HKEY_CURRENT_CONFIG\\Software\\Fonts]\n"
                f'"LogPixels"=dword:{DPI:08x}\n\n'
                "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"
                '"Desktop"="Default"\n\n'
                "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"
                '"Default"="1280x1024"\n')
    subprocess.run([WINE, "regedit", reg], **quiet)
    # Symbols the stand-in font lacks come from Symbola where it is installed.
    link = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink"
    for face in ("Microsoft YaHei UI", "WenQuanYi Micro Hei"):
        subprocess.run([WINE, "reg", "add", link, "/v", face, "/t", "REG_MULTI_SZ", "/d", "Symbola_hint.ttf,Symbola",
                        "/f"], **quiet)
    # Caption buttons draw with Marlett; the prefix only has it when copied in.
    if os.path.exists("/usr/share/wine/fonts/marlett.ttf"):
        shutil.copy("/usr/share/wine/fonts/marlett.ttf", os.path.join(PREFIX, "drive_c", "windows", "Fonts"))
    subprocess.run([WINESERVER, "-w"], **quiet)
    open(marker, "w").close()


os.environ["WINEPREFIX"] = PREFIX
prepare_prefix()

from e2e_shell import IDM_PRIVACY, launch, rect, screenshot  # noqa: E402
from tivra_e2e import driver, poll, stop  # noqa: E402


def s(px):
    """ScaleForDpi: MulDiv rounds to nearest."""
    return (px * DPI + 48) // 96


def expected_layout(width, height, status_height):
    """Each control's rectangle as the layout rules give it."""
    m, g, hh, top = s(1), s(1), s(26), s(24)
    free = height - status_height - top
    list_h = free * 45 // 100
    para_h = free - list_h
    para_y = top + list_h
    list_h, para_h = max(list_h, 50), max(para_h, 50)
    inner = width - 2 * (m + g)
    cw = inner // 4
    w3 = inner - 2 * cw
    xs, ws = (m, m + g + cw, m + 2 * g + 2 * cw), (cw, cw, w3)
    layout = {1001: (m, m, width - 2 * m, s(22)), 4001: (m, para_y + hh, width - 2 * m, para_h - hh)}
    for c in range(3):
        layout[2011 + c] = (xs[c], top, ws[c], hh)
        layout[2001 + c] = (xs[c], top + hh, ws[c], list_h - hh)
    return layout, (m, para_y, width - 2 * m, hh)


def window_rect():
    return tuple(int(v) for v in driver("window-rect")[1].split())


class ShellAtDpi(unittest.TestCase):
    def setUp(self):
        self.folder, self.process = launch(f"shell-dpi{DPI}")

    def tearDown(self):
        stop(self.process)

    def test_window_fonts_and_layout_scale(self):
        left, top, right, bottom = window_rect()
        self.assertEqual(right - left, s(675))
        self.assertEqual(driver("item-height", 2001)[1].strip(), str(s(24)))
        width, height = s(660), s(600)
        driver("set-client", width, height)
        poll(lambda: driver("client")[1].strip() == f"{width} {height}", what="the client size")
        status = poll(lambda: rect(6001), what="the status bar")
        self.assertEqual(status[1] + status[3], height, "the status bar sits at the foot")
        layout, header = expected_layout(width, height, status[3])
        poll(lambda: rect(1001) == layout[1001], what="the layout")
        self.assertEqual({i: rect(i) for i in layout}, layout)
        self.assertEqual(driver("paragraph-header")[1].splitlines()[0], " ".join(map(str, header)))
        if DPI == 144:  # the figures as the layout rules state them
            self.assertEqual(rect(2001)[0], 2)
            self.assertEqual(rect(2002)[0] - (rect(2001)[0] + rect(2001)[2]), 2)
            self.assertEqual((rect(2011)[1], rect(2011)[3]), (36, 39))

    def test_privacy_window_scales(self):
        driver("command", IDM_PRIVACY)
        poll(lambda: driver("privacy")[1].startswith("exists=1"), what="the privacy window")
        info = dict(line.split("=", 1) for line in driver("privacy")[1].splitlines())
        left, top, right, bottom = (int(v) for v in info["rect"].split())
        self.assertEqual((right - left, bottom - top), (s(450), s(400)))
        cw, ch = (int(v) for v in info["client"].split())
        m, bw, bh = s(10), s(90), s(28)
        self.assertEqual(info["text-rect"], f"{m} {m} {cw - 2 * m} {ch - 3 * m - bh}")
        self.assertEqual(info["button-rect"], f"{(cw - bw) // 2} {ch - bh - m} {bw} {bh}")
        driver("privacy-key", 0x1B)
        poll(lambda: driver("privacy")[1].startswith("exists=0"), what="closed")

    def test_screenshots(self):
        """Pictures of the main window in use and of the privacy window, for the docs."""
        out = os.path.join(BUILD, "screens")
        os.makedirs(out, exist_ok=True)
        driver("set-size", s(675), min(s(700), 990))
        driver("set-text", 1001, "发展")
        poll(lambda: driver("text", 2012)[1].startswith("词组("), what="the search")
        driver("pick", 2003, 0)
        poll(lambda: driver("paragraph-header")[1].splitlines()[1].startswith("段落("), what="the paragraphs")
        main_rect = window_rect()
        poll(lambda: screenshot(os.path.join(out, f"main-window-{DPI}dpi.png"), main_rect) is None, what="shot")
        driver("command", IDM_PRIVACY)
        poll(lambda: driver("privacy")[1].startswith("exists=1"), what="the privacy window")
        info = dict(line.split("=", 1) for line in driver("privacy")[1].splitlines())
        privacy_rect = tuple(int(v) for v in info["rect"].split())
        screenshot(os.path.join(out, f"privacy-window-{DPI}dpi.png"), privacy_rect)
        driver("privacy-key", 0x1B)
        poll(lambda: driver("privacy")[1].startswith("exists=0"), what="closed")
        for name in (f"main-window-{DPI}dpi.png", f"privacy-window-{DPI}dpi.png"):
            self.assertGreater(os.path.getsize(os.path.join(out, name)), 10000, name)


def tearDownModule():
    subprocess.run([WINESERVER, "-k"], env=dict(os.environ, WINEPREFIX=PREFIX), capture_output=True)


if __name__ == "__main__":
    unittest.main(verbosity=2, argv=sys.argv[:1])
