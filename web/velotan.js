// The page: reads the boxes, calls the core (VelotanApi.js) and shows what
// comes back, with the program's texts.
(function () {
  'use strict';

  var TOO_LONG =
    '文本过长，无法加密！加密的文本不能超过 32766 个字符（每个中文标点按 9 个字符计），请分段加密。';

  function $(id) {
    return document.getElementById(id);
  }

  var box = {};
  [
    'post', 'cipher', 'table', 'key1', 'key2', 'decode', 'plain', 'mood', 'encrypt', 'share',
    'copy', 'decode-message', 'encrypt-message', 'strongkey', 'strongkey-show', 'strong', 'ask',
    'ask-text', 'ask-yes', 'ask-no',
  ].forEach(function (id) {
    box[id] = $(id);
  });
  var core = null;

  function tell(where, text, done) {
    var message = box[where + '-message'];
    message.textContent = text;
    message.classList.toggle('done', !!done);
  }

  // A question in the page's own box, as the program asks it (Yes/No, No
  // the default): resolves to true for 是, false for 否, Escape or a page
  // that goes away.
  var pendingAnswer = null;
  function ask(question) {
    answer(false);
    if (typeof box.ask.showModal !== 'function') {
      return Promise.resolve(window.confirm(question));
    }
    return new Promise(function (resolve) {
      pendingAnswer = resolve;
      box['ask-text'].textContent = question;
      box.ask.showModal();
      box['ask-no'].focus();
    });
  }
  function answer(yes) {
    var resolve = pendingAnswer;
    pendingAnswer = null;
    if (box.ask.open) box.ask.close();
    if (resolve) resolve(yes);
  }
  box['ask-yes'].addEventListener('click', function () {
    answer(true);
  });
  box['ask-no'].addEventListener('click', function () {
    answer(false);
  });
  // Escape closes the box without an answer: 否. The event comes after the
  // answer's own close, when another question may already be open.
  box.ask.addEventListener('close', function () {
    if (!box.ask.open) answer(false);
  });

  // Line breaks as the program's editor gives them: CR LF.
  function crlf(text) {
    return text.replace(/\r\n|\r|\n/g, '\r\n');
  }

  // The two keys, or null after naming the first box that is empty or holds
  // no whole number from -32768 to 32767 (halves round to even).
  function readKeys(where) {
    var boxes = [
      [box.key1, '请输入一次密钥！', '一次密钥'],
      [box.key2, '请输入二次密钥！', '二次密钥'],
    ];
    var keys = [];
    for (var i = 0; i < boxes.length; ++i) {
      var input = boxes[i][0];
      if (input.value === '') {
        tell(where, boxes[i][1]);
        input.focus();
        return null;
      }
      var key = core.keyNumber(input.value);
      if (key === null) {
        tell(where, boxes[i][2] + '必须是 -32768 到 32767 之间的整数，请重新输入！');
        input.focus();
        return null;
      }
      keys.push(key);
    }
    return keys;
  }

  // A pasted post fills the cipher text and the code table.
  function splitPost() {
    var post = box.post.value;
    if (post.trim() === '') {
      tell('decode', '');
      return;
    }
    if (core.isStrongPost(post)) {
      box.cipher.value = '';
      box.table.value = '';
      tell('decode', '这是一条强加密的心情：按“解 码”，用强密钥框里的每个密钥试读。', true);
      return;
    }
    var parts = core.splitPost(post);
    if (!parts) {
      tell('decode', '没有找到“心情：”和“解密钥匙：”，请粘贴完整的分享文字，或直接输入密文和随机码表。');
      return;
    }
    box.cipher.value = parts.cipherText;
    box.table.value = parts.codeTable;
    tell('decode', parts.codeTable === '' ? '分享文字里没有随机码表，请补上解密钥匙后面的部分。' : '');
  }

  // A strong post, tried with every key of the key box; the page names the
  // line whose key opened it. An empty or wrong key box is named by the
  // core, as for 强加密.
  function strongDecode(started) {
    var opened = core.strongOpen(box.post.value, box.strongkey.value);
    box.plain.textContent = opened.message === undefined ? opened.mood : '';
    box.plain.setAttribute('data-decode-ms', (performance.now() - started).toFixed(2));
    if (opened.message !== undefined) {
      tell('decode', opened.message);
      box.strongkey.focus();
      return;
    }
    tell('decode', '解码完成：用强密钥框第 ' + opened.line + ' 行的密钥加密。' +
         '持有这把密钥的人（它的主人，或主人的任何好友）都可能写下它。', true);
    box.plain.scrollIntoView({ block: 'nearest' });
  }

  function decode() {
    var started = performance.now();
    // A strong post fills neither cipher box; what the user typed into them
    // afterwards is decoded as typed.
    if (box.cipher.value === '' && box.table.value === '' && core.isStrongPost(box.post.value)) {
      strongDecode(started);
      return;
    }
    var required = [
      [box.cipher, '请输入密文！'],
      [box.table, '请输入随机码表！'],
    ];
    for (var i = 0; i < required.length; ++i) {
      if (required[i][0].value === '') {
        tell('decode', required[i][1]);
        required[i][0].focus();
        return;
      }
    }
    var keys = readKeys('decode');
    if (!keys) return;
    var cipher = box.cipher.value;
    var table = box.table.value;
    if (core.keysFit(table, keys[0], keys[1])) {
      showDecoded(cipher, table, keys, started);
      return;
    }
    // Wrong keys decode to gibberish that looks like a result: the reader
    // decides, as in the program's decode window.
    ask('密钥与这段密文不符，解码结果很可能是乱码。仍要放进文本区吗？').then(function (yes) {
      if (yes) {
        showDecoded(cipher, table, keys, performance.now());
      } else {
        box.plain.textContent = '';
        tell('decode', '没有解码：密钥与这段密文不符。');
      }
    });
  }

  function showDecoded(cipher, table, keys, started) {
    box.plain.textContent = core.decrypt(cipher, table, keys[0], keys[1]);
    box.plain.setAttribute('data-decode-ms', (performance.now() - started).toFixed(2));
    tell('decode', '解码操作完成！', true);
    box.plain.scrollIntoView({ block: 'nearest' });
  }

  function showShare(text, message) {
    box.share.value = text;
    box.copy.disabled = false;
    tell('encrypt', message, true);
    box.copy.scrollIntoView({ block: 'nearest' });
  }

  // A strong post under the key on the key box's first line; any character
  // travels.
  function strongEncrypt() {
    var sealed = core.strongSeal(crlf(box.mood.value), box.strongkey.value);
    if (sealed.message !== undefined) {
      tell('encrypt', sealed.message);
      box.strongkey.focus();
      return;
    }
    showShare(sealed.post, '强加密完成！只有持有这把强密钥的好友能读。请复制下面的分享文字。');
  }

  function encrypt() {
    if (box.mood.value === '') {
      tell('encrypt', '请先写下心情！');
      box.mood.focus();
      return;
    }
    if (box.strong.checked) {
      strongEncrypt();
      return;
    }
    var keys = readKeys('encrypt');
    if (!keys) return;
    if (keys[0] === 0) {
      tell('encrypt', '一次密钥不能为 0：用它加密的心情谁也无法解码！');
      box.key1.focus();
      return;
    }
    var mood = crlf(box.mood.value);
    // An emoji would arrive as "?": the writer decides, as in the program.
    var unsupported = core.unsupported(mood);
    if (unsupported === '') {
      finishEncrypt(mood, keys);
      return;
    }
    ask('文本中有本程序无法加密的字符：\r\n' + unsupported +
        '\r\n加密后它们将变成“?”，收到的人看不到它们。\r\n是否继续加密？').then(function (yes) {
      if (yes) {
        finishEncrypt(mood, keys);
      } else {
        tell('encrypt', '没有加密：文本中有无法加密的字符。');
      }
    });
  }

  function finishEncrypt(mood, keys) {
    var result = core.encrypt(mood, keys[0], keys[1]);
    if (!result) {
      tell('encrypt', TOO_LONG);
      return;
    }
    showShare(result.shareText, '加密完成！请复制下面的分享文字。');
  }

  function copyShare() {
    var text = box.share.value;
    if (text === '') return;
    function fallback() {
      box.share.focus();
      box.share.select();
      var copied = false;
      try {
        copied = document.execCommand('copy');
      } catch (e) {
        copied = false;
      }
      tell('encrypt', copied ? '分享文字已复制。' : '请长按或用 Ctrl+C 复制选中的分享文字。', copied);
    }
    if (navigator.clipboard && navigator.clipboard.writeText) {
      navigator.clipboard.writeText(text).then(function () {
        tell('encrypt', '分享文字已复制。', true);
      }, fallback);
    } else {
      fallback();
    }
  }

  // Nothing stays: a page restored from the history starts empty too.
  function clearAll() {
    answer(false);
    var boxes = ['post', 'cipher', 'table', 'key1', 'key2', 'strongkey', 'mood', 'share'];
    boxes.forEach(function (id) {
      box[id].value = '';
    });
    box.strong.checked = false;
    box['strongkey-show'].checked = false;
    box.strongkey.classList.add('masked');
    box.plain.textContent = '';
    box.copy.disabled = true;
    tell('decode', '');
    tell('encrypt', '');
  }
  window.addEventListener('pagehide', clearAll);
  window.addEventListener('pageshow', function (event) {
    if (event.persisted) clearAll();
  });

  // An error message goes once the box it is about changes.
  function clearError(where) {
    var message = box[where + '-message'];
    if (!message.classList.contains('done')) tell(where, '');
  }
  ['cipher', 'table'].forEach(function (id) {
    box[id].addEventListener('input', function () {
      clearError('decode');
    });
  });
  ['key1', 'key2', 'strongkey'].forEach(function (id) {
    box[id].addEventListener('input', function () {
      clearError('decode');
      clearError('encrypt');
    });
  });
  box.mood.addEventListener('input', function () {
    clearError('encrypt');
  });
  box['strongkey-show'].addEventListener('change', function () {
    box.strongkey.classList.toggle('masked', !box['strongkey-show'].checked);
  });
  box.strong.addEventListener('change', function () {
    clearError('encrypt');
  });
  box.post.addEventListener('input', splitPost);
  box.decode.addEventListener('click', decode);
  box.encrypt.addEventListener('click', encrypt);
  box.copy.addEventListener('click', copyShare);

  VelotanModule().then(
    function (module) {
      core = module.velotan;
      box.decode.disabled = false;
      box.encrypt.disabled = false;
      if (box.post.value !== '') splitPost();
      document.documentElement.setAttribute('data-ready-ms', performance.now().toFixed(1));
    },
    function () {
      tell('decode', '本页的加密核心无法启动，请换用较新的浏览器。');
    }
  );
})();
