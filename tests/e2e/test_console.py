"""The terminal as a serial console: a real bash on the far end of the cable,
with console mode and the long history on, then time stamps."""

import os
import re
import time
import unittest

import steps_transfer as st
from harness import MAIN_PORT, App, Shell, wait_until

BACKSPACE, ENTER, VK_UP = 8, 13, 0x26
STAMP = r"\d\d:\d\d:\d\d\.\d\d\d "


class ConsoleTest(unittest.TestCase):
    """In this order, on one app and one shell."""

    @classmethod
    def setUpClass(cls):
        cls.app = App()
        cls.shell = Shell(cls.app.suite.cables[MAIN_PORT])
        cls.app.set_terminal_options(history=1, console=1)
        cls.app.open_port(MAIN_PORT)

    @classmethod
    def tearDownClass(cls):
        cls.shell.close()
        cls.app.quit()

    def lines(self):
        return self.app.terminal().split("\r\n")

    def run_line(self, text, last_output, timeout=10):
        """Types `text` and Enter; waits for `last_output` then the prompt."""
        self.app.type_text(text)
        self.app.type_char(ENTER)
        wait_until(lambda: self.app.terminal().endswith(last_output + "\r\n$ "), timeout,
                   "%r and the prompt" % last_output)

    def test_1_prompt_and_line_editing_leave_no_control_text(self):
        app = self.app
        app.type_text("echo typo-4x")
        app.type_char(BACKSPACE)
        self.run_line("2", "typo-42")
        text = app.terminal()
        self.assertEqual(self.lines()[-3:], ["$ echo typo-42", "typo-42", "$ "])
        self.assertNotIn("[?2004", text)
        self.assertNotIn("\x1b", text)
        self.assertNotIn("typo-4x", text)

    def test_2_carriage_return_overwrites_and_up_recalls(self):
        app = self.app
        self.run_line(r"printf 'a\rb\n'", "b")
        app.press_key(VK_UP)
        wait_until(lambda: app.terminal().endswith(r"$ printf 'a\rb\n'"), 5, "the recalled command")
        app.type_char(ENTER)
        wait_until(lambda: self.lines().count("b") == 2, 5, "the recalled command's output")
        self.assertNotIn("a", [line for line in self.lines() if not line.startswith("$")])

    def test_3_history_keeps_twenty_thousand_lines(self):
        app = self.app
        self.run_line("seq 1 20000", "20000", timeout=120)
        lines = self.lines()
        first = lines.index("$ seq 1 20000") + 1
        self.assertEqual(lines[first:first + 20000], [str(n) for n in range(1, 20001)])
        # The scroll bar, set at most ten times a second while lines stream
        # in, ends on the newest lines: its thumb at the end of its range,
        # which holds every line kept.
        def bar():
            info = app.call("scrollbar", "term", 1090)
            return info if info["range_end"] == len(lines) else None
        info = wait_until(bar, 5, "the scroll bar's range over every line")
        self.assertEqual(info["thumb_end"], info["range_end"], info)

    def test_4_stamps_on_the_screen_not_in_the_capture(self):
        app = self.app
        app.set_terminal_options(stamps=1)
        self.app.type_char(ENTER)
        wait_until(lambda: re.fullmatch(STAMP + r"\$ ", self.lines()[-1]), 5, "a stamped prompt")
        self.app.type_text("echo stamped")
        self.app.type_char(ENTER)
        wait_until(lambda: re.fullmatch(STAMP + r"\$ ", self.lines()[-1]) and len(self.lines()) >= 3, 5,
                   "the output and a stamped prompt")
        self.assertRegex(app.terminal(), STAMP + r"\$ echo stamped\r\n" + STAMP + r"stamped\r\n" + STAMP + r"\$ $")
        app.screenshot("console.png")
        path = os.path.join(app.suite.rig.scratch, "console.bin")
        if os.path.exists(path):
            os.remove(path)
        dlg, _ = st.receive_file(app, path)
        self.app.type_text("echo captured")
        self.app.type_char(ENTER)
        wait_until(lambda: os.path.getsize(path) >= 40, 5, "the capture to grow")
        wait_until(lambda: b"captured\r\n" in open(path, "rb").read().split(b"echo captured")[-1], 5,
                   "the command's output in the capture")
        app.call("press", dlg, st.IDOK)
        app.wait_no_dialog(st.RECEIVE_TITLE)
        with open(path, "rb") as f:
            data = f.read()
        self.assertIn(b"\x1b[?2004", data)
        self.assertIsNone(re.search(STAMP.encode(), data))

    def test_5_the_view_paints_what_arrives(self):
        """What is painted, not only the text: the view's pixels change while
        30,000 lines arrive and, once they stop, already show the newest ones
        (a redraw forced from outside changes nothing); so does a pager."""
        app = self.app

        view = app.terminal_id()

        def picture():
            return app.call("ink", "term", view)["hash"]

        def assert_fresh(what):
            time.sleep(0.5)
            shown = picture()
            app.call("redraw", "term", view)
            time.sleep(0.5)
            self.assertEqual(picture(), shown, "the view showed a stale picture " + what)

        def output_line(text):
            return re.search(r"\r\n(%s)?%s\r\n" % (STAMP, re.escape(text)), app.terminal()[-400:])

        app.type_text("seq 1 30000; echo seq-done")
        app.type_char(ENTER)
        pictures, deadline = set(), time.monotonic() + 120
        while not output_line("seq-done") and time.monotonic() < deadline:
            for _ in range(10):
                pictures.add(picture())
                time.sleep(0.05)
        self.assertTrue(output_line("seq-done"), "the end of seq")
        self.assertGreaterEqual(len(pictures), 3, "the picture changed while lines arrived")
        assert_fresh("after seq")
        app.type_text("seq -f 'row %g' 1 200 > zv-less.txt; less zv-less.txt")
        app.type_char(ENTER)
        wait_until(lambda: "row 20\r\n" in app.terminal()[-800:], 10, "the pager's first page")
        assert_fresh("of the pager")
        app.type_text("q")
        app.type_text("rm zv-less.txt")
        app.type_char(ENTER)

    def test_6_a_vt100_of_80_by_24(self):
        """Readline wraps a long command at the 80th column, `resize` reads
        back the size the console answers, and a pager pages."""
        app = self.app
        app.set_terminal_options(stamps=0)
        app.type_char(ENTER)
        wait_until(lambda: self.lines()[-1] == "$ ", 5, "a prompt")
        command = "echo " + "x" * 145
        self.run_line(command, "x" * 65)
        self.assertEqual(self.lines()[-5:], ["$ " + command[:78], command[78:], "x" * 80, "x" * 65, "$ "])
        self.run_line("resize", "export COLUMNS LINES;")
        self.assertEqual(self.lines()[-4:-1], ["COLUMNS=80;", "LINES=24;", "export COLUMNS LINES;"])
        self.run_line("seq -f 'row %g' 1 200 > zv-pages.txt", "$ seq -f 'row %g' 1 200 > zv-pages.txt")

        def page(first, last, marker):
            want = ["row %d" % n for n in range(first, last + 1)]
            wait_until(lambda: self.lines()[-24:] == want + [marker], 10,
                       "rows %d to %d (seen %r)" % (first, last, self.lines()[-3:]))

        app.type_text("less zv-pages.txt")
        app.type_char(ENTER)
        page(1, 23, "zv-pages.txt")
        app.type_text(" ")
        page(24, 46, ":")
        app.type_text("G")
        page(178, 200, "(END)")
        app.type_text("q")
        self.run_line("rm zv-pages.txt", "$ rm zv-pages.txt")

    def test_7_follows_the_window_size_when_chosen(self):
        """Follow Window Size: the console is the view's client area (text 2
        pixels in) in whole cells of the terminal's font, after the option and
        after the window changed, as `resize` reads it and a line of exactly
        that many characters shows; cleared, 80 x 24 again."""
        app = self.app
        before = app.call("rect", "main")
        marks = iter(range(3))

        def resize():
            mark = "resized-%d" % next(marks)  # the last run's output is still on the screen
            self.run_line("resize; echo " + mark, mark)
            return tuple(map(int, re.findall(r"COLUMNS=(\d+);\r\nLINES=(\d+);", app.terminal()[-300:])[-1]))

        def view_size():
            rect, cell = app.call("rect", "term", 1090), app.call("fontcell", "term", 1002)  # the view's font
            return (rect["cw"] - 2) // cell["width"], (rect["ch"] - 2) // cell["height"]

        app.call("setpos", "main", 0, 0, 640, 420)
        app.set_terminal_options(follow=1)
        small = view_size()
        self.assertEqual(resize(), small)
        app.call("setpos", "main", 0, 0, 1000, 700)
        cols, rows = view_size()
        self.assertTrue(cols > small[0] > 20 and rows > small[1] > 5 and small != (80, 24), (small, cols, rows))
        self.assertEqual(resize(), (cols, rows))
        for ch, count, shown in (("x", cols, ["x" * cols]), ("y", cols + 1, ["y" * cols, "y"])):
            command = "printf '%%0*d\\n' %d 0 | tr 0 %s" % (count, ch)
            self.run_line(command, shown[-1])
            self.assertEqual(self.lines()[-2 - len(shown):-1], ["$ " + command] + shown)
        app.screenshot("console-follow.png")
        app.set_terminal_options(follow=0)
        self.assertEqual(resize(), (80, 24))
        app.call("setpos", "main", before["x"], before["y"], before["w"], before["h"])

if __name__ == "__main__":
    unittest.main()
