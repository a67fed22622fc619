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
    'copy', 'decode-message', 'encrypt-message',
  ].forEach(function (id) {
    box[id] = $(id);
  });
  var core = null;

  function tell(where, text, done) {
    var message = box[where + '-message'];
    message.textContent = text;
    message.classList.toggle('done', !!done);
  }

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
    var parts = core.splitPost(post);
    if (!parts) {
      tell('decode', '没有找到“心情：”和“解密钥匙：”，请粘贴完整的分享文字，或直接输入密文和随机码表。');
      return;
    }
    box.cipher.value = parts.cipherText;
    box.table.value = parts.codeTable;
    tell('decode', parts.codeTable === '' ? '分享文字里没有随机码表，请补上解密钥匙后面的部分。' : '');
  }

  function decode() {
    var started = performance.now();
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
    box.plain.textContent = core.decrypt(box.cipher.value, box.table.value, keys[0], keys[1]);
    box.plain.setAttribute('data-decode-ms', (performance.now() - started).toFixed(2));
    tell('decode', '解码操作完成！', true);
    box.plain.scrollIntoView({ block: 'nearest' });
  }

  function encrypt() {
    if (box.mood.value === '') {
      tell('encrypt', '请先写下心情！');
      box.mood.focus();
      return;
    }
    var keys = readKeys('encrypt');
    if (!keys) return;
    if (keys[0] === 0) {
      tell('encrypt', '一次密钥不能为 0：用它加密的心情谁也无法解码！');
      box.key1.focus();
      return;
    }
    var result = core.encrypt(crlf(box.mood.value), keys[0], keys[1]);
    if (!result) {
      tell('encrypt', TOO_LONG);
      return;
    }
    box.share.value = result.shareText;
    box.copy.disabled = false;
    tell('encrypt', '加密完成！请复制下面的分享文字。', true);
    box.copy.scrollIntoView({ block: 'nearest' });
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
    ['post', 'cipher', 'table', 'key1', 'key2', 'mood', 'share'].forEach(function (id) {
      box[id].value = '';
    });
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
  ['key1', 'key2'].forEach(function (id) {
    box[id].addEventListener('input', function () {
      clearError('decode');
      clearError('encrypt');
    });
  });
  box.mood.addEventListener('input', function () {
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
