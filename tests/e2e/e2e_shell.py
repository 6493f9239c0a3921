"""Helpers for the application shell's end-to-end tests: menus, settings, layout, tray."""
import configparser
import os
import subprocess

from tivra_e2e import BUILD, driver, kill_leftovers, make_app_folder, poll, start, wait_exit, wait_window

MSG_TRAY_NOTIFY = 1024 + 200
MSG_UPDATE_RESULT = 1024 + 100
WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP = 0x202, 0x203, 0x205
IDM_EXIT = 40004
IDM_FONT = {0: 40101, 1: 40102, 2: 40103}
IDM_CLOSE_TO_TRAY = 40110
IDM_SOURCE_SPREAD = 40120
IDM_CHECK_UPDATE, IDM_PRIVACY, IDM_ABOUT = 40200, 40201, 40202
IDM_TRAY_SHOW, IDM_TRAY_EXIT = 39001, 39002
SW_MINIMIZE, SW_RESTORE = 6, 9

REPORT_NAMES = [
    "国务院政府工作报告", "北京市政府工作报告", "天津市政府工作报告", "河北省政府工作报告", "山西省政府工作报告",
    "内蒙古自治区政府工作报告", "辽宁省政府工作报告", "吉林省政府工作报告", "黑龙江省政府工作报告",
    "上海市政府工作报告", "江苏省政府工作报告", "浙江省政府工作报告", "安徽省政府工作报告", "福建省政府工作报告",
    "江西省政府工作报告", "山东省政府工作报告", "河南省政府工作报告", "湖北省政府工作报告", "湖南省政府工作报告",
    "广东省政府工作报告", "广西壮族自治区政府工作报告", "海南省政府工作报告", "重庆市政府工作报告",
    "四川省政府工作报告", "贵州省政府工作报告", "云南省政府工作报告", "西藏自治区政府工作报告",
    "陕西省政府工作报告", "甘肃省政府工作报告", "青海省政府工作报告", "宁夏回族自治区政府工作报告",
    "新疆维吾尔自治区政府工作报告",
]


def expected_menu_bar(level=1, close_action=0):
    """The menu bar as the driver's `menu` prints it: (depth, id or None, checked, text); separators as None."""
    items = [(0, None, 0, "文件(&F)"), (1, IDM_EXIT, 0, "退出(&X)"), (0, None, 0, "数据(&D)")]
    for y, year in enumerate(range(2021, 2026)):
        items.append((1, None, 0, f"{year}年"))
        items.append((2, 41000 + 100 * y, 0, REPORT_NAMES[0]))
        items.append(None)
        items += [(2, 41000 + 100 * y + i, 0, f"{i}. {REPORT_NAMES[i]}") for i in range(1, 32)]
    items += [(0, None, 0, "视图(&V)"), (1, None, 0, "字体(&F)")]
    items += [(2, IDM_FONT[n], int(level == n), label) for n, label in enumerate(["较小(&S)", "标准(&N)", "较大(&L)"])]
    items += [None, (1, IDM_CLOSE_TO_TRAY, int(close_action == 0), "关闭到托盘(&T)")]
    items += [None, (1, IDM_SOURCE_SPREAD, 0, "出处分布(&S)")]
    items += [(0, None, 0, "帮助(&H)"), (1, IDM_CHECK_UPDATE, 0, "检查更新(&U)"), None,
              (1, IDM_PRIVACY, 0, "隐私政策(&P)"), (1, IDM_ABOUT, 0, "关于(&A)")]
    return items


def parse_menu(text):
    items = []
    for line in text.splitlines():
        depth, ident, checked, label = line.split(" ", 3)
        if ident == "-":
            items.append(None)
        else:
            items.append((int(depth), int(ident) or None, int(checked), label))
    return items


def menu():
    code, text = driver("menu")
    assert code == 0, f"menu probe failed ({code})"
    return parse_menu(text)


def checks():
    """{command id: checked} of every command item in the menu bar."""
    return {item[1]: item[2] for item in menu() if item and item[1]}


def rect(control_id):
    code, text = driver("rect", control_id)
    return tuple(int(v) for v in text.split()) if code == 0 else None


def state():
    code, text = driver("state")
    return text.strip() if code == 0 else None


def settings_path(folder):
    return os.path.join(folder, "data", "settings.ini")


def read_settings(folder):
    """{key: value} of the [UI] section, or None without a file."""
    path = settings_path(folder)
    if not os.path.exists(path):
        return None
    parser = configparser.ConfigParser()
    parser.optionxform = str
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("utf-16") if raw.startswith(b"\xff\xfe") else raw.decode("utf-8")
    parser.read_string(text)
    return dict(parser["UI"]) if parser.has_section("UI") else {}


def launch(name, settings=None):
    """A fresh app folder (with settings.ini text if given) and the running program in it."""
    kill_leftovers()
    files = {"settings.ini": settings.encode("ascii")} if settings is not None else None
    folder = make_app_folder(name, data_files=files)
    process = start(folder)
    wait_window(process)
    return folder, process


def exit_by_tray_menu(process):
    """Right click on the tray icon, then the menu's second item, 退出."""
    driver("post", MSG_TRAY_NOTIFY, 1, WM_RBUTTONUP)
    poll(lambda: driver("popup-exists")[0] == 0, what="the tray menu")
    driver("popup-pick", 1)
    return wait_exit(process)


def screenshot(path, window_rect=None):
    """The X screen, or the part given as (left, top, right, bottom), as PNG."""
    display = os.environ.get("DISPLAY", ":0")
    args = ["import", "-display", display, "-window", "root"]
    if window_rect:
        left, top, right, bottom = window_rect
        args += ["-crop", f"{right - left}x{bottom - top}+{max(left, 0)}+{max(top, 0)}"]
    subprocess.run(args + [path], check=True, timeout=60)
