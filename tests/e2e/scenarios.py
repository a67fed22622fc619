"""The end-to-end scenarios. Each drives the installed program through
AT-SPI, as a screen reader's user would, and checks what it did against the
files on disk as well as against the screen."""

import http.server
import json
import os
import shutil
import subprocess
import threading
import time
import urllib.parse

import ui
from case import read_cp936, write_cp936

MAIN_TITLE = "青岚心情加密器 - Powered By Orvan From Mirelsoftware."
SAVE_TITLE = "保存加密文件 - " + MAIN_TITLE
OK = "确定"
CONTROL_MASK = 1 << 2
# A mood with Chinese punctuation, which travels through the cipher as
# placeholders, and a line break.
MOOD = "今天，心情很好！\n明天：继续努力。"

SCENARIOS = {}


def scenario(function):
    SCENARIOS[function.__name__] = function
    return function


# --- shared steps -----------------------------------------------------------


def start(case):
    process = case.start_program()
    return process, ui.Program(process.pid)


def log_in(program):
    """Logs in with the shipped empty password; returns the main window."""
    login = program.window("frame", "登录")
    ui.press(ui.find(login, "button", "确定"))
    main = program.window("frame", MAIN_TITLE)
    program.no_window("frame", "登录")
    return main


def answer_message(program, title, text, button=OK):
    """Checks a message box's text and closes it with one of its buttons."""
    box = program.window("alert", title)
    ui.find(box, "label", text)
    ui.press(ui.find(box, "button", button))
    program.no_window("alert", title)


YES = lambda name: name.startswith("是")  # noqa: E731
NO = lambda name: name.startswith("否")  # noqa: E731


def answer_question(program, text, button):
    """Answers a 请确认！ question whose text passes the test `text`."""
    box = program.window("alert", "请确认！")
    ui.find(box, "label", text)
    ui.press(ui.find(box, "button", button))
    program.no_window("alert", "请确认！")


def assert_every_input_named(window):
    boxes = ui.find_all(window, "text", visible=False) + ui.find_all(window, "password",
                                                                    visible=False)
    unnamed = [ui.fresh(b).getRoleName() for b in boxes if not ui.fresh(b).name]
    assert boxes, "no input boxes in %r" % window.name
    assert not unnamed, "input boxes without a name in %r: %s" % (window.name, unnamed)


def editor_of(main):
    return ui.find(main, "text", lambda name: name.startswith("文本区"))


def shown_text(obj):
    """A text box's text with the program's line breaks (CR LF) as \\n."""
    return ui.text_of(obj).replace("\r\n", "\n")


def wait_for_file(path, what):
    return ui.wait_until(lambda: os.path.isfile(path) and os.path.getsize(path) > 0, what)


def choose_file(program, dialog_name, path, button_prefix):
    """Answers a file dialog (None: whatever its title) with a path typed
    into its file name box."""
    dialog = program.window("dialog", dialog_name)
    name_box = ui.find(dialog, "text", lambda name: name.startswith("文件名"))
    ui.set_text(name_box, path)
    accept = ui.find(dialog, "button", lambda name: name.startswith(button_prefix))
    ui.wait_until(lambda: ui.states(accept).contains(ui.pyatspi.STATE_ENABLED),
                  "the %r button to be enabled" % accept.name)
    ui.press(accept)
    program.no_window("dialog", dialog_name)


# --- 1. login -----------------------------------------------------------------


@scenario
def login(case):
    assert os.path.exists(case.path("first")), "the installed folder lacks its first-run marker"
    _, program = start(case)
    window = program.window("frame", "登录")
    assert_every_input_named(window)
    password = ui.find(window, "password", "输入口令：")

    # A wrong password: the described message, and the window stays.
    ui.set_text(password, "falsch")
    ui.press(ui.find(window, "button", "确定"))
    answer_message(program, "错误", "口令错误，请重新输入登录口令！")
    assert program.has_window("frame", "登录")
    assert not program.has_window("frame", MAIN_TITLE)
    assert not os.path.exists(case.key_file), "keys were made before a login"

    # The shipped empty password opens the main window.
    ui.set_text(password, "")
    main = log_in(program)
    assert_every_input_named(main)
    # The first start made the key pair in the configured store and used up
    # the marker.
    wait_for_file(case.key_file, "the key file")
    first, second = case.keys_on_disk()
    assert 1 <= first <= 39 and 1 <= second <= 39, (first, second)
    assert not os.path.exists(case.data_path("first")), "the first-run marker is still there"


# --- 2. encrypt, save and load ----------------------------------------------------


@scenario
def documents(case):
    documents_folder = case.folder("documents")
    document = os.path.join(documents_folder, "心情.mxe")
    companion = os.path.join(documents_folder, "心情.mxr")
    _, program = start(case)
    main = log_in(program)
    editor = editor_of(main)

    ui.set_text(editor, MOOD)
    ui.press(ui.find(main, "button", "加密文档(E)"))
    # The editor keeps the text as typed, punctuation included.
    ui.wait_until(lambda: shown_text(editor) == MOOD, "the mood back in the editor")

    ui.press(ui.find(main, "button", "保存文档(S)"))
    choose_file(program, SAVE_TITLE, document, "保存")
    wait_for_file(document, "the document file")
    wait_for_file(companion, "the companion file")
    cipher_lines = read_cp936(document).split("\r\n")
    table_lines = read_cp936(companion).split("\r\n")
    assert len(cipher_lines) == 2 and cipher_lines[1] == "", cipher_lines
    assert len(table_lines) == 2 and table_lines[1] == "", table_lines
    assert "UUA" in cipher_lines[0] and "UGA" in table_lines[0]
    assert "今天" not in cipher_lines[0], "the document holds plain text"
    # The same files, read by the command-line tool with the user's keys.
    plain = case.run_cli(["decrypt", "--document", document], "")
    assert plain.replace("\r\n", "\n").rstrip("\n") == MOOD, repr(plain)

    # Cleared by its access key, then loaded back.
    ui.activate(main)
    ui.focus(editor)
    ui.alt("C")
    ui.wait_until(lambda: shown_text(editor) == "", "an empty editor after Alt+C")
    ui.press(ui.find(main, "button", "载入文档(O)"))
    # The open dialog keeps Qt's own title: the command sets none.
    choose_file(program, None, document, "打开")
    ui.wait_until(lambda: shown_text(editor) == MOOD, "the loaded mood in the editor")
    ui.find(main, "panel", "文本区 当前编辑《心情.mxe》")


# --- 3. settings -------------------------------------------------------------------


@scenario
def settings(case):
    _, program = start(case)
    main = log_in(program)
    ui.press(ui.find(main, "button", "多项设置(P)"))
    window = program.window("frame", "青岚加密设置")
    program.no_window("frame", MAIN_TITLE)

    # The panel is named for what it shows; the keys are its description.
    led = ui.find(window, "label", "您的密钥")
    first, second = case.keys_on_disk()
    assert ui.fresh(led).description == "%d.%d" % (first, second), (
        ui.fresh(led).description, first, second)

    # New keys: the file and the panel change the same way, and a screen
    # reader is told. The file is replaced as a whole, so a new inode tells
    # that it was written.
    before = os.stat(case.key_file).st_ino
    with ui.Events("object:property-change:accessible-description") as events:
        ui.press(ui.find(window, "button", "生成随机密钥"))
        answer_question(program, lambda text: "更改随机密钥" in text, YES)
        ui.wait_until(lambda: os.stat(case.key_file).st_ino != before, "a rewritten key file")
        caption = "%d.%d" % case.keys_on_disk()
        events.wait_for(lambda kind, source, data: source == "您的密钥",
                        "a change of the panel's description")
    assert ui.fresh(led).description == caption, (ui.fresh(led).description, caption)

    ui.press(ui.find(window, "button", "返回主界面"))
    program.window("frame", MAIN_TITLE)
    program.no_window("frame", "青岚加密设置")


# --- 4. decode ------------------------------------------------------------------------


@scenario
def decode(case):
    # Someone else's text: encrypted with the sender's keys by the
    # command-line tool of the same installation.
    sender = (7, 31)
    output = case.run_cli(["encrypt", "--keys", "%d,%d" % sender], MOOD)
    cipher_text, code_table = output.splitlines()[:2]

    _, program = start(case)
    main = log_in(program)
    wait_for_file(case.key_file, "the user's own key file")
    own_keys = read_cp936(case.key_file)
    ui.press(ui.find(main, "button", "解码他人文件"))
    window = program.window("frame", "解码他人文件")
    assert_every_input_named(window)
    ui.set_text(ui.find(window, "text", "输入密文："), cipher_text)
    ui.set_text(ui.find(window, "text", "输入随机码表："), code_table)
    ui.set_text(ui.find(window, "password", "输入一次密钥："), str(sender[0]))
    ui.set_text(ui.find(window, "password", "输入二次密钥："), str(sender[1]))
    ui.press(ui.find(window, "button", "解 码"))
    answer_message(program, "完成", "解码操作完成！")
    program.no_window("frame", "解码他人文件")

    editor = editor_of(main)
    ui.wait_until(lambda: shown_text(editor) == MOOD, "the decoded mood in the main editor")
    assert read_cp936(case.key_file) == own_keys, "decoding changed the user's key file"


# --- 4b. no work lost to one click -------------------------------------------------------


@scenario
def keep_work(case):
    """Wrong keys, new keys and unsaved text each ask before anything is
    lost, and No leaves everything as it was."""
    sender = (12, 7)
    output = case.run_cli(["encrypt", "--keys", "%d,%d" % sender], MOOD)
    cipher_text, code_table = output.splitlines()[:2]
    unsaved = "刚写的，还没保存"

    _, program = start(case)
    main = log_in(program)
    wait_for_file(case.key_file, "the user's own key file")
    editor = editor_of(main)
    # Typing goes into the editor right after the login.
    ui.wait_until(lambda: ui.states(editor).contains(ui.pyatspi.STATE_FOCUSED),
                  "the focus in the editor")
    ui.set_text(editor, unsaved)

    # Keys one off: asked first; No changes nothing, the window stays.
    ui.press(ui.find(main, "button", "解码他人文件"))
    window = program.window("frame", "解码他人文件")
    ui.set_text(ui.find(window, "text", "输入密文："), cipher_text)
    ui.set_text(ui.find(window, "text", "输入随机码表："), code_table)
    first_key = ui.find(window, "password", "输入一次密钥：")
    ui.set_text(first_key, "13")
    ui.set_text(ui.find(window, "password", "输入二次密钥："), str(sender[1]))
    ui.press(ui.find(window, "button", "解 码"))
    answer_question(program, "密钥与这段密文不符，解码结果很可能是乱码。仍要放进文本区吗？", NO)
    assert program.has_window("frame", "解码他人文件"), "the decode window closed on No"
    assert shown_text(editor) == unsaved, shown_text(editor)

    # The right keys: the unsaved text is asked about, No keeps it.
    ui.set_text(first_key, str(sender[0]))
    ui.press(ui.find(window, "button", "解 码"))
    answer_question(program, lambda text: text.startswith("文本区中的文字还没有保存"), NO)
    assert shown_text(editor) == unsaved, shown_text(editor)
    # Yes replaces it.
    ui.press(ui.find(window, "button", "解 码"))
    answer_question(program, lambda text: text.startswith("文本区中的文字还没有保存"), YES)
    answer_message(program, "完成", "解码操作完成！")
    ui.wait_until(lambda: shown_text(editor) == MOOD, "the decoded mood in the editor")

    # New keys: No leaves chat.mx as it was; Yes keeps the old pair beside it.
    ui.press(ui.find(main, "button", "多项设置(P)"))
    settings = program.window("frame", "青岚加密设置")
    old_file = open(case.key_file, "rb").read()
    old_pair = case.keys_on_disk()
    ui.press(ui.find(settings, "button", "生成随机密钥"))
    answer_question(program, lambda text: "%d.%d" % old_pair in text, NO)
    assert open(case.key_file, "rb").read() == old_file, "chat.mx changed on No"
    earlier = os.path.join(os.path.dirname(case.key_file), "chat-earlier.mx")
    assert not os.path.exists(earlier)

    ui.press(ui.find(settings, "button", "生成随机密钥"))
    answer_question(program, lambda text: "chat-earlier.mx" in text, YES)
    # Drawn again, the same pair may come out; then nothing is replaced.
    ui.wait_until(lambda: open(case.key_file, "rb").read() != old_file or case.keys_on_disk() == old_pair,
                  "the new key file")
    if case.keys_on_disk() != old_pair:
        wait_for_file(earlier, "the earlier keys")
        kept = read_cp936(earlier)
        assert "第一项密钥 %d，第二项密钥 %d" % old_pair in kept, kept

    # Escape goes back, as 返回主界面 does.
    ui.activate(settings)
    ui.key(ui.KEY_ESCAPE)
    program.window("frame", MAIN_TITLE)
    program.no_window("frame", "青岚加密设置")


# --- 5. share ---------------------------------------------------------------------------

SINA_SHARE = "https://service.weibo.com/share/share.php?title="
FAKE_OPENER = """#!/usr/bin/env python3
# Stands in for the desktop's URL handler: records what it was asked to open.
import json, sys
with open(%r, "a", encoding="utf-8") as log:
    log.write(json.dumps(sys.argv[1:]) + "\\n")
"""


@scenario
def share(case):
    bin_folder = case.folder("bin")
    record = os.path.join(case.root, "opened.jsonl")
    opener = os.path.join(bin_folder, "xdg-open")
    with open(opener, "w") as f:
        f.write(FAKE_OPENER % record)
    os.chmod(opener, 0o755)
    case.path_prefix = [bin_folder]

    _, program = start(case)
    main = log_in(program)
    ui.set_text(editor_of(main), MOOD)
    ui.press(ui.find(main, "button", "加密文档(E)"))
    ui.press(ui.find(main, "button", "分享心情(F)"))
    window = program.window("frame", "分享心情")
    assert_every_input_named(window)
    shown = ui.find(window, "text", "这是您即将要分享的心情：")
    share_text = ui.wait_until(lambda: ui.text_of(shown), "the share text")
    assert share_text.startswith("心情：") and "解密钥匙：" in share_text, share_text
    assert "今天" not in share_text, "the share text is not encrypted"

    ui.press(ui.find(window, "button", "新浪微博"))
    wait_for_file(record, "the URL handler to be called")
    calls = [json.loads(line) for line in open(record, encoding="utf-8")]
    assert len(calls) == 1 and len(calls[0]) == 1, calls
    url = calls[0][0]
    assert url.startswith(SINA_SHARE), url
    assert urllib.parse.unquote(url[len(SINA_SHARE):]) == share_text, url
    assert program.has_window("frame", "分享心情"), "the share window closed"


@scenario
def share_qr_code(case):
    """The share window's QR code saved as a picture that a real reader
    decodes to the share text; 复制, then pasting the whole post into the
    decode window's cipher box, splits it and decodes it back."""
    picture = os.path.join(case.folder("pictures"), "心情.png")
    _, program = start(case)
    main = log_in(program)
    ui.set_text(editor_of(main), MOOD)
    ui.press(ui.find(main, "button", "加密文档(E)"))
    ui.press(ui.find(main, "button", "分享心情(F)"))
    window = program.window("frame", "分享心情")
    shown = ui.find(window, "text", "这是您即将要分享的心情：")
    share_text = ui.wait_until(lambda: ui.text_of(shown), "the share text")

    ui.press(ui.find(window, "button", "保存二维码"))
    choose_file(program, None, picture, "保存")
    wait_for_file(picture, "the QR code picture")
    read = subprocess.run(["zbarimg", "--nodbus", "--raw", "-q", picture],
                          capture_output=True, check=True).stdout.decode("utf-8")
    assert read.rstrip("\n") == share_text, (read, share_text)

    ui.press(ui.find(window, "button", "复制"))
    ui.find(window, "label", "已复制到剪贴板")
    ui.press(ui.find(window, "button", "返 回"))
    program.no_window("frame", "分享心情")

    # The reader's side, with the user's own keys: the post goes in whole.
    first, second = case.keys_on_disk()
    ui.wait_until(lambda: program.has_window("frame", MAIN_TITLE), "the main window")
    ui.set_text(editor_of(main), "")
    ui.press(ui.find(main, "button", "解码他人文件"))
    decode = program.window("frame", "解码他人文件")
    cipher_box = ui.find(decode, "text", "输入密文：")
    ui.activate(decode)
    ui.focus(cipher_box)
    ui.key(ord("v"), CONTROL_MASK)
    table_box = ui.find(decode, "text", "输入随机码表：")
    ui.wait_until(lambda: ui.text_of(table_box) != "", "the code table split off the post")
    assert share_text == "心情：" + ui.text_of(cipher_box) + "解密钥匙：" + ui.text_of(table_box)
    ui.set_text(ui.find(decode, "password", "输入一次密钥："), str(first))
    ui.set_text(ui.find(decode, "password", "输入二次密钥："), str(second))
    ui.press(ui.find(decode, "button", "解 码"))
    answer_message(program, "完成", "解码操作完成！")
    ui.wait_until(lambda: shown_text(editor_of(main)) == MOOD, "the decoded mood in the editor")


# --- 5b. strong posts (强加密) ---------------------------------------------------

FRIEND_MOOD = "小明今天很开心 🌧"


def friend_cli(case, friend_root, args, stdin_text):
    """velotan-cli, run as a friend on another computer: a program folder and
    a data folder of the friend's own under `friend_root`, whose key store
    is the folder `store` there. Returns its stdout."""
    program_folder = os.path.join(friend_root, "program")
    if not os.path.isdir(program_folder):
        shutil.copytree(case.installed, program_folder, symlinks=True)
        store = os.path.join(friend_root, "store")
        os.makedirs(store)
        write_cp936(os.path.join(program_folder, "settings.ini"), "[set]\nKeyChar=%s\n" % store)
    env = case.program_env()
    env["XDG_DATA_HOME"] = os.path.join(friend_root, "data")
    result = subprocess.run(
        [os.path.join(program_folder, "velotan-cli")] + args + ["--program-folder",
                                                                 program_folder],
        input=stdin_text.encode("utf-8"), capture_output=True, env=env, timeout=60)
    assert result.returncode == 0, "velotan-cli %s failed: %s" % (
        " ".join(args), result.stderr.decode("utf-8", "replace"))
    return result.stdout.decode("utf-8")


def decode_strong_post(program, main, post, holder):
    """Pastes a strong post into the decode window, key boxes left empty;
    the message names whose key opened it."""
    ui.press(ui.find(main, "button", "解码他人文件"))
    window = program.window("frame", "解码他人文件")
    cipher_box = ui.find(window, "text", "输入密文：")
    if post is None:
        # What 复制 put on the clipboard, pasted as a user pastes it.
        ui.activate(window)
        ui.focus(cipher_box)
        ui.key(ord("v"), CONTROL_MASK)
        ui.wait_until(lambda: ui.text_of(cipher_box).startswith("心情：QL2:"),
                      "the pasted strong post")
    else:
        ui.set_text(cipher_box, post)
    ui.press(ui.find(window, "button", "解 码"))
    box = program.window("alert", "完成")
    ui.find(box, "label", lambda text: "用「%s」的钥匙加密" % holder in text)
    ui.press(ui.find(box, "button", OK))
    program.no_window("frame", "解码他人文件")


@scenario
def strong(case):
    """A strong key made in 好友与强密钥; a friend's key, made by velotan-cli in
    another key store, added; a mood shared with 强加密 and copied, which
    decodes as the user's own; the friend's post decodes with their name."""
    friend = case.folder("friend")
    friend_key = friend_cli(case, friend, ["strong-key", "--new"], "").strip()
    assert friend_key.startswith("QLK1:"), friend_key
    assert os.path.isfile(os.path.join(friend, "store", "mxsw", "encrypt", "strong.mx"))
    friend_post = friend_cli(case, friend, ["encrypt", "--strong"], FRIEND_MOOD).strip()
    assert friend_post.startswith("心情：QL2:"), friend_post

    _, program = start(case)
    main = log_in(program)
    ui.press(ui.find(main, "button", "多项设置(P)"))
    settings = program.window("frame", "青岚加密设置")
    ui.press(ui.find(settings, "button", "好友与强密钥"))
    keys = program.window("frame", "好友与强密钥")
    ui.find(keys, "label", lambda text: text.startswith("请注意：强密钥以明文保存"))

    # The first key: made at once, in the key store beside chat.mx.
    own_file = os.path.join(case.store, "mxsw", "encrypt", "strong.mx")
    ui.press(ui.find(keys, "button", "生成密钥"))
    wait_for_file(own_file, "the own strong key file")
    assert os.stat(own_file).st_mode & 0o777 == 0o600, oct(os.stat(own_file).st_mode)
    own_key = case.run_cli(["strong-key"], "").strip()
    assert own_key.startswith("QLK1:") and own_key != friend_key, own_key
    ui.find(keys, "button", "生成新密钥")

    ui.set_text(ui.find(keys, "text", "好友的名字："), "小明")
    ui.set_text(ui.find(keys, "text", "好友的强密钥（QLK1: 开头）："), friend_key)
    ui.press(ui.find(keys, "button", "添加好友"))
    ui.find(keys, "label", "已添加好友「小明」。")
    assert "小明" in case.run_cli(["friends", "list"], "")
    ui.press(ui.find(keys, "button", "返 回"))
    program.no_window("frame", "好友与强密钥")
    ui.press(ui.find(settings, "button", "返回主界面"))
    main = program.window("frame", MAIN_TITLE)

    # Shared with 强加密: only the post goes out, and the choice is kept.
    ui.set_text(editor_of(main), MOOD)
    ui.press(ui.find(main, "button", "分享心情(F)"))
    window = program.window("frame", "分享心情")
    ui.press(ui.find(window, "radio", "强加密"))
    shown = ui.find(window, "text", "这是您即将要分享的心情：")
    post = ui.wait_until(lambda: ui.text_of(shown) if ui.text_of(shown).startswith(
        "心情：QL2:") else None, "the strong post")
    assert "今天" not in post, post
    ui.wait_until(lambda: "ShareCipher=strong" in read_cp936(case.data_path("settings.ini")),
                  "the choice kept in settings.ini")
    ui.press(ui.find(window, "button", "复制"))
    ui.find(window, "label", "已复制到剪贴板")
    ui.press(ui.find(window, "button", "返 回"))
    program.no_window("frame", "分享心情")

    # The copied post is the user's own; the friend's is the friend's.
    ui.set_text(editor_of(main), "")
    decode_strong_post(program, main, None, "自己")
    ui.wait_until(lambda: shown_text(editor_of(main)) == MOOD, "the own mood in the editor")
    decode_strong_post(program, main, friend_post, "小明")
    ui.wait_until(lambda: shown_text(editor_of(main)) == FRIEND_MOOD,
                  "the friend's mood in the editor")


# --- 6. about ------------------------------------------------------------------------------


@scenario
def about(case):
    controls = read_cp936(case.path("controlsinfo.txt")).splitlines()
    algorithm = read_cp936(case.path("algorithm.txt")).splitlines()
    _, program = start(case)
    main = log_in(program)
    ui.press(ui.find(main, "button", "关于程序(A)"))
    window = program.window("frame", "关于 青岚心情加密器")
    ui.find(window, "label", "版本信息：" + case.version)

    # Each rotating label runs through its file's lines, one a second.
    for frame_name, lines in (("控件信息", controls), ("算法信息", algorithm)):
        label = ui.find(ui.find(window, "panel", frame_name), "label", visible=False)
        seen = []

        def next_line():
            name = ui.fresh(label).name
            if name in lines and (not seen or seen[-1] != name):
                seen.append(name)
            return len(seen) >= 2

        ui.wait_until(next_line, "two lines of the %s file in turn" % frame_name)
        first, then = (lines.index(n) for n in seen[:2])
        assert then == (first + 1) % len(lines), (frame_name, seen)

    ui.press(ui.find(window, "button", "确定"))
    program.no_window("frame", "关于 青岚心情加密器")
    assert program.has_window("frame", MAIN_TITLE)


# --- 7. update -------------------------------------------------------------------------------

UPDATE_TITLE = "澄川过滤专家升级"
INSTALLER = """#!/bin/sh
# The update's installer: leaves a marker where the test looks for it.
echo installed > %s
"""


class UpdateServer:
    """Python's http.server on 127.0.0.1, serving one folder."""

    def __init__(self, folder):
        handler = lambda *args: QuietHandler(*args, directory=folder)  # noqa: E731
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    @property
    def url(self):
        return "http://127.0.0.1:%d" % self.server.server_address[1]

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()
        return False


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def minisign(*args):
    """Runs the publisher's signing tool, minisign, to its end."""
    program = shutil.which("minisign")
    assert program, "minisign is missing (scripts/setup installs it)"
    result = subprocess.run([program] + list(args), stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=60)
    assert result.returncode == 0, "minisign %s failed: %s" % (
        args[0], result.stderr.decode("utf-8", "replace"))


def newer_version(case):
    """A version above the one the program was built as."""
    return "%d.0" % (int(case.version.split(".")[0]) + 1)


def publish_update(case, server_folder, server_url, installer, extra_lines="",
                   signed_for=None):
    """Puts the next major version on the update server (its list followed by
    `extra_lines`) with, unless `installer` is None, its installer signed by a
    new publisher key for that version (or for `signed_for`), and names the
    server and the key in the program's update.ini: the one place that
    prepares what the program needs to trust an installer."""
    sns = os.path.join(server_folder, "sns")
    os.makedirs(sns, exist_ok=True)
    version = newer_version(case)
    write_cp936(os.path.join(sns, "update.lst"), version + extra_lines + "\n")
    keys = case.folder("publisher")
    public_file = os.path.join(keys, "minisign.pub")
    secret_file = os.path.join(keys, "minisign.key")
    minisign("-G", "-W", "-p", public_file, "-s", secret_file)
    # The second line of the public key file is the key itself.
    public_key = open(public_file).read().splitlines()[1].strip()
    if installer is not None:
        setup = os.path.join(sns, "up_velotan.exe")
        with open(setup, "w") as f:
            f.write(installer)
        # The trusted comment names the version, as the list writes it.
        minisign("-S", "-s", secret_file, "-m", setup, "-t",
                 "velotan " + (signed_for or version))
    write_cp936(case.path("update.ini"),
                "[update]\nServer=%s\nPublicKey=%s\n" % (server_url, public_key))


def open_update_window(program):
    main = log_in(program)
    ui.press(ui.find(main, "button", "升级程序(U)"))
    window = program.window("frame", UPDATE_TITLE)
    program.no_window("frame", MAIN_TITLE)
    return window


def install_update(case, while_message_open=None):
    """Runs an update to its end: the list, the signed installer, the last
    message (with `while_message_open` called while it is open), the end of
    the program and the installer's run. Returns the installer's marker and
    the served installer's bytes."""
    server_folder = case.folder("server")
    marker = os.path.join(case.root, "installed.marker")
    with UpdateServer(server_folder) as server:
        publish_update(case, server_folder, server.url, INSTALLER % marker)
        process, program = start(case)
        window = open_update_window(program)
        ui.press(ui.find(window, "button", "开始更新"))
        if while_message_open:
            program.window("alert", "青岚心情加密器")
            while_message_open(marker)
        answer_message(program, "青岚心情加密器", "安装包下载完成，现在请关闭程序。")
        # The program ends, and the installer it started runs.
        exit_code = process.wait(timeout=ui.TIMEOUT)
        assert exit_code == 0, "the program ended with %d" % exit_code
        wait_for_file(marker, "the installer's marker")
    with open(os.path.join(server_folder, "sns", "up_velotan.exe"), "rb") as f:
        return marker, f.read()


@scenario
def update(case):
    marker, served = install_update(case)
    assert open(case.data_path("upvelotan.exe"), "rb").read() == served


@scenario
def update_without_installer(case):
    server_folder = case.folder("server")
    with UpdateServer(server_folder) as server:
        publish_update(case, server_folder, server.url, None)
        process, program = start(case)
        window = open_update_window(program)
        start_button = ui.find(window, "button", "开始更新")
        ui.press(start_button)
        # The installer answers 404: nothing is started, the window says so
        # and the program goes on.
        ui.find(window, "label", "安装包未能完整下载，未安装更新。")
        ui.wait_until(lambda: ui.states(start_button).contains(ui.pyatspi.STATE_ENABLED),
                      "开始更新 enabled again")
        time.sleep(1.0)
        assert process.poll() is None, "the program ended"
        assert not program.has_window("alert", "青岚心情加密器"), "an installer message"
    assert not os.path.exists(case.data_path("upvelotan.exe")), "a partial installer was kept"
    assert read_cp936(case.data_path("update.lst")).startswith(newer_version(case))


@scenario
def update_list_as_text(case):
    """A hostile list: markup that, read as such, would make the program read
    /dev/zero until memory ran out and open any file at every check. It is
    shown as the characters it holds, and the program goes on."""
    server_folder = case.folder("server")
    probe = os.path.join(case.root, "probe.png")
    markup = '<img src="/dev/zero">\n<img src="%s">' % probe
    with UpdateServer(server_folder) as server:
        publish_update(case, server_folder, server.url, None, extra_lines=markup)
        process, program = start(case)
        window = open_update_window(program)
        ui.press(ui.find(window, "button", "开始更新"))
        ui.find(window, "label", "安装包未能完整下载，未安装更新。")
        # The list's label (behind 停止更新) holds the joined lines literally.
        ui.find(window, "label", newer_version(case) + markup.replace("\n", ""), visible=False)
        assert process.poll() is None, "the program ended"


@scenario
def update_signed_for_another_version(case):
    """An installer the publisher once signed for an older version, offered
    under a newer list: refused, nothing runs, the program goes on."""
    server_folder = case.folder("server")
    marker = os.path.join(case.root, "installed.marker")
    with UpdateServer(server_folder) as server:
        publish_update(case, server_folder, server.url, INSTALLER % marker, signed_for="1.0")
        process, program = start(case)
        window = open_update_window(program)
        ui.press(ui.find(window, "button", "开始更新"))
        ui.find(window, "label", "签名不是为所列的版本做的，未运行。")
        assert process.poll() is None, "the program ended"
        assert not program.has_window("alert", "青岚心情加密器"), "an installer message"
    assert not os.path.exists(marker), "the installer ran"


@scenario
def update_swapped_during_message(case):
    """While the last message is open, another script is renamed over the
    downloaded installer: the copy that was checked runs, not that one."""

    def swap(marker):
        other = case.path("swapped-in")
        with open(other, "w") as f:
            f.write("#!/bin/sh\necho swapped > %s\n" % marker)
        os.chmod(other, 0o700)
        os.rename(other, case.data_path("upvelotan.exe"))

    marker, _ = install_update(case, swap)
    assert open(marker).read() == "installed\n", open(marker).read()
