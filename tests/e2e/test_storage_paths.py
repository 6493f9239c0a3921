"""Start-up from a folder whose UTF-8 path does not fit the 259-byte path fields: the box
"无法获取存储路径", exit 0, and no folder made anywhere (beside the exe or at the drive's root)."""
import os
import shutil
import subprocess
import unittest

from tivra_e2e import BUILD, driver, poll, start, wait_exit


class LongExecutableFolder(unittest.TestCase):
    def test_folder_too_long_for_utf8_fields_creates_nothing(self):
        # 3 x 30 characters of 3 bytes each: under 260 UTF-16 units, over 259 bytes of UTF-8.
        base = os.path.join(BUILD, "e2e", "long-path")
        shutil.rmtree(base, ignore_errors=True)
        folder = os.path.join(base, *["长" * 30] * 3)
        os.makedirs(folder)
        shutil.copy(os.path.join(BUILD, "Tivra.exe"), folder)
        wide = len("Z:" + folder + "/Tivra.exe")
        self.assertLess(wide, 260)
        self.assertGreater(len(("Z:" + folder).encode("utf-8")), 259)
        root_data = "/data"  # \data on drive Z:, the current drive of the started process
        root_data_before = os.path.exists(root_data)

        process = start(folder)
        poll(lambda: driver("msgbox")[0] == 0, seconds=60, what="the start-up box")
        self.assertEqual(driver("msgbox")[1].splitlines(), ["初始化错误", "无法获取存储路径"])
        driver("msgbox-ok")
        self.assertEqual(wait_exit(process, 60), 0)

        self.assertEqual(sorted(os.listdir(folder)), ["Tivra.exe"])
        if not root_data_before:
            self.assertFalse(os.path.exists(root_data), "no data folder at the root of the drive")
        shutil.rmtree(base, ignore_errors=True)


if __name__ == "__main__":
    unittest.main(verbosity=2)
