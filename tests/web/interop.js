// Interop between velotan-cli and the web page's module (the node build of
// the same sources): random texts encrypted by one come back exactly from
// the other, in both directions; COUNT with the compatible cipher and 200
// strong posts. Strong posts also make round trips in the module alone, from
// 1 to 32,766 characters, and the module reads the test vectors of
// docs/strong-posts.md.
//
//   node interop.js MODULE.js VELOTAN-CLI SYMBOLHANDLE.INI [COUNT [SEED]]
//
// Exit code 0 when every text came back, 1 otherwise, 77 (skipped) when the
// module has not been built.
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [modulePath, cli, symbolFile, countArg, seedArg] = process.argv.slice(2);
if (!modulePath || !cli || !symbolFile) {
  console.error('usage: node interop.js MODULE.js VELOTAN-CLI SYMBOLHANDLE.INI [COUNT [SEED]]');
  process.exit(2);
}
// Without Emscripten a module found here may be left over from older sources.
const hasEmscripten = (process.env.PATH || '')
  .split(path.delimiter)
  .some((dir) => dir && fs.existsSync(path.join(dir, 'emcc')));
if (!hasEmscripten) {
  console.log('SKIPPED: Emscripten is not installed (scripts/setup --web)');
  process.exit(77);
}
if (!fs.existsSync(modulePath)) {
  console.log('SKIPPED: ' + modulePath + ' is not built (scripts/web, needs scripts/setup --web)');
  process.exit(77);
}
const count = Number(countArg || 500);
const strongCount = 200;
const vectorsPath = path.join(__dirname, '..', '..', 'docs', 'strong-posts.md');
let seed = Number(seedArg || 20240617) >>> 0;

// A small seeded generator, so a failing text can be made again.
function random() {
  seed = (seed + 0x6d2b79f5) >>> 0;
  let t = seed;
  t = Math.imul(t ^ (t >>> 15), t | 1);
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}
function below(n) {
  return Math.floor(random() * n);
}
function pick(list) {
  return list[below(list.length)];
}

// Characters the cipher carries: printable ASCII, GB2312 hanzi, line breaks,
// and the punctuation marks of symbolhandle.ini.
const hanzi = Array.from(
  '啊蔼俺凹芭拔白班伴膀胞宝悲备绷笔庇避卞鳖摈并搏泊步财蚕藏册碴搀颤厂嘲彻陈乘吃齿虫筹厨矗船吹淳辞葱促粹措呆待胆当' +
    '岛得堤嫡缔电叼爹钉董抖犊度堆囤躲鹅鄂二珐凡坊纺吠分愤疯否氟弗府阜咐干敢港镐疙个埂躬钩辜古刮棺灌归跪果害函焊毫' +
    '菏河很哄侯瑚虎猾淮唤黄幌回会魂惑稽姬及脊悸妓荚驾兼硷鉴剑浆降骄角叫劫解诫紧烬鲸颈竞久咎菊巨剧攫均郡凯慷靠咳垦' +
    '口裤快旷傀扩啦阑滥劳乐肋黎礼历隶廉练晾辽烈鳞龄另瘤隆陋鲁录屡挛伦锣麻买蔓忙茂酶昧檬糜密缅妙明蘑墨拇慕钠南呢尼' +
    '年捏狞脓虐殴怕潘旁泡沛棚砒疲片频凭魄菩瀑柒齐启讫迁潜呛敲翘钦寝晴丘蛆趣拳榷瓤热妊融茹褥弱叁嫂刹苫赡赏芍蛇设神' +
    '生圣十史世噬室售输薯述恕霜顺思伺宋俗肃碎蓑他苔摊谈塘淌逃誊体填眺廷瞳痛徒推拖拓歪完腕忘围伟喂温嗡卧屋捂物硒希' +
    '犀系暇锨闲腺镶想萧淆楔斜泻忻刑姓修戌叙轩绚循讯芽讶蜒掩雁鸯氧瑶药也一夷彝抑疫诣荫寅鹰赢臃永由右盂愉禹遇浴元猿' +
    '约耘晕宰脏蚤则喳咋寨崭樟帐沼哲斟疹征症肢执纸制窒重轴株煮贮拽装坠茁姿自纵祖罪坐'
);
const marks = [
  '“', '”', '【', '！', '￥', '……', '（', '）', '——', '、',
  '。', '，', '《', '》', '；', '：', '‘', '’', '】', '？',
];
function asciiChar() {
  return String.fromCharCode(0x20 + below(0x7f - 0x20));
}
// A random text of `kinds`, each [weight out of 20, make one piece].
function randomText(kinds, shortest) {
  const length = shortest + (below(4) === 0 ? below(8) : below(300));
  let text = '';
  while (text.length < length) {
    let kind = below(20);
    const found = kinds.find(([weight]) => (kind -= weight) < 0);
    text += found[1]();
  }
  return text;
}
const cipherKinds = [
  [6, asciiChar],
  [8, () => pick(hanzi)],
  [3, () => pick(marks)],
  [1, () => '\r\n'],
  [1, () => '\n'],
  [1, () => ' '],
];
// Mostly keys as the program makes them (1 to 39), some from the whole
// 16-bit range; the first key is never 0.
function randomKeys() {
  if (below(4) > 0) return [1 + below(39), 1 + below(39)];
  let first = 0;
  while (first === 0) first = below(65536) - 32768;
  return [first, below(65536) - 32768];
}

// velotan-cli with its own program folder: the shipped symbolhandle.ini,
// and nothing of the user's.
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'velotan-interop-'));
fs.copyFileSync(symbolFile, path.join(folder, 'symbolhandle.ini'));
const env = Object.assign({}, process.env, {
  XDG_DATA_HOME: path.join(folder, 'data'),
  XDG_STATE_HOME: path.join(folder, 'state'),
});
function runCli(command, keys, input) {
  return runCliWith([command, '--keys', keys.join(',')], input);
}
function runCliWith(args, input) {
  const run = childProcess.spawnSync(cli, args.concat(['--program-folder', folder]), {
    input: Buffer.from(input, 'utf8'),
    env: env,
    maxBuffer: 64 * 1024 * 1024,
  });
  if (run.status !== 0) {
    throw new Error('velotan-cli ' + args.join(' ') + ' failed: ' + run.stderr.toString('utf8'));
  }
  return run.stdout.toString('utf8');
}

// Moods for strong posts: any character travels, emoji, Hangul and € too.
const beyondCp936 = ['😀', '🎉', '👍🏽', '€', '한', '국', 'é', 'ß', '∑', '\u00a0', '\u3000'];
const strongKinds = [
  [5, asciiChar],
  [7, () => pick(hanzi)],
  [2, () => pick(marks)],
  [3, () => pick(beyondCp936)],
  [1, () => '\r\n'],
  [2, () => ' '],
];

// Round trips in the module: the lengths around the 32-byte padding and the
// longest moods, of Chinese, ASCII, CR LF and emoji.
function strongRoundTrips(core, key) {
  const kinds = {
    Chinese: (n) => Array.from({ length: n }, (_, i) => hanzi[i % hanzi.length]).join(''),
    ASCII: (n) =>
      Array.from({ length: n }, (_, i) => String.fromCharCode(0x20 + (i % 95))).join(''),
    'CR LF': (n) => ('第一行\r\n' + 'second line\r\n'.repeat(n)).slice(0, n),
    emoji: (n) => '😀'.repeat(n >> 1) + (n % 2 ? '!' : ''),
  };
  const lengths = [1, 2, 10, 11, 31, 32, 33, 100, 1000, 10000, 32765, 32766];
  let failed = 0;
  for (const [kind, make] of Object.entries(kinds)) {
    for (const length of lengths) {
      const mood = make(length);
      const sealed = core.strongSeal(mood, key);
      const opened = sealed.post ? core.strongOpen(sealed.post, key) : sealed;
      if (opened.mood !== mood || opened.line !== 1) {
        if (failed++ < 5) {
          console.log('strong round trip of ' + length + ' units of ' + kind + ': ' +
                      show(opened.message || opened.mood || ''));
        }
      }
    }
  }
  // One unit past the longest Chinese mood is refused, with a message.
  const tooLong = core.strongSeal(kinds.Chinese(32767), key);
  if (tooLong.post !== undefined || !/^文本过长.*约 32766 个汉字/.test(tooLong.message)) {
    console.log('a strong mood of 32,767 Chinese characters was not refused naming 32,766: ' +
                show(tooLong.message || ''));
    ++failed;
  }
  console.log('strong round trips in the module: ' +
              (failed ? failed + ' failed' : 'all came back'));
  return failed === 0;
}

// The key box: blank lines are skipped but counted, a line that holds no key
// is named, the characters list for the question stops at ten.
function keyBoxAndQuestions(core, key) {
  const other = core.newStrongKey();
  const post = core.strongSeal('好', key).post;
  const cases = [
    ['the key on line 3', core.strongOpen(post, other + '\r\n\r\n' + key).line === 3],
    ['no key opens it', /打不开/.test(core.strongOpen(post, other).message)],
    ['a wrong line is named', /^强密钥第 2 行：/.test(core.strongOpen(post, key + '\nQLK1:abc').message)],
    ['an empty key box', /请在强密钥框里输入密钥/.test(core.strongOpen(post, ' \n ').message)],
    ['sealing with a blank first line',
      /^强密钥第 1 行：/.test(core.strongSeal('好', '\n' + key).message)],
    ['two new keys differ',
      other !== core.newStrongKey() && /^QLK1:[A-Za-z0-9_-]{48}$/.test(other)],
    ['a legacy post is not a strong post', !core.isStrongPost('心情：abc解密钥匙：def')],
    ['a strong post is one', core.isStrongPost('他说 心情:QL2: ' + post.slice(9))],
    ['carried characters are not listed', core.unsupported('今天“很好”！abc\r\n') === ''],
    ['the list of characters', core.unsupported('好😀€한😀') === '😀 € 한'],
    ['at most ten, then 等', core.unsupported('가각갂갃간갅갆갇갈갉갊갋') === '가 각 갂 갃 간 갅 갆 갇 갈 갉 等'],
  ];
  const failed = cases.filter((c) => !c[1]).map((c) => c[0]);
  failed.forEach((name) => console.log('FAILED: ' + name));
  return failed.length === 0;
}

// The test vectors of docs/strong-posts.md: each opens with its key to its
// mood.
function strongVectors(core) {
  const vectors = readVectors();
  let opened = 0;
  for (const v of vectors) {
    const result = core.strongOpen(v.post, v.key);
    if (result.mood === v.mood) ++opened;
    else console.log('test vector ' + v.name + ': ' + show(result.message || result.mood || ''));
  }
  console.log('test vectors of docs/strong-posts.md opened: ' + opened + ' of ' + vectors.length);
  return vectors.length > 0 && opened === vectors.length;
}

// The vectors in docs/strong-posts.md: under "## Test vectors", the key text
// in the first code block, then a table of moods (in C notation) and posts.
function readVectors() {
  if (!fs.existsSync(vectorsPath)) return [];
  const doc = fs.readFileSync(vectorsPath, 'utf8');
  const section = doc.split(/^## Test vectors$/m)[1];
  if (!section) return [];
  const body = section.split(/^## /m)[0];
  const key = (body.match(/^```\n(QLK1:\S+)\n```$/m) || [])[1];
  const vectors = [];
  for (const row of body.matchAll(/^\| `("(?:[^"\\]|\\.)*")`[^|]*\| `(心情：QL2:[^`]+)` \|$/gm)) {
    vectors.push({ name: row[1], key: key, mood: JSON.parse(row[1]), post: row[2] });
  }
  return key ? vectors : [];
}

// velotan-cli seals, the module opens; the module seals, velotan-cli opens.
function strongInterop(core) {
  const key = core.newStrongKey();
  const keyFile = path.join(folder, 'strong.key');
  fs.writeFileSync(keyFile, key + '\n');
  let cliToModule = 0;
  let moduleToCli = 0;
  let failures = 0;
  for (let i = 0; i < strongCount; ++i) {
    const mood = randomText(strongKinds, 1);
    const post = runCliWith(['encrypt', '--strong', '--key-file', keyFile], mood)
      .replace(/\n$/, '');
    const opened = core.strongOpen(post, key);
    if (opened.mood === mood) ++cliToModule;
    else if (failures++ < 5) {
      console.log('strong cli -> module #' + i + ': ' + show(mood) + ' came back as ' +
                  show(opened.message || opened.mood || ''));
    }
    const sealed = core.strongSeal(mood, key);
    const back = sealed.post
      ? runCliWith(['decrypt', '--key-file', keyFile], sealed.post + '\n')
      : '';
    if (back === mood) ++moduleToCli;
    else if (failures++ < 5) {
      console.log('strong module -> cli #' + i + ': ' + show(mood) + ' came back as ' +
                  show(back));
    }
  }
  console.log('velotan-cli seals, module opens: ' + cliToModule + ' of ' + strongCount);
  console.log('module seals, velotan-cli opens: ' + moduleToCli + ' of ' + strongCount);
  return cliToModule === strongCount && moduleToCli === strongCount;
}

function show(text) {
  return JSON.stringify(text.length > 120 ? text.slice(0, 120) + '…' : text);
}

require(path.resolve(modulePath))().then((module) => {
  const core = module.velotan;
  const failures = { cliToModule: 0, moduleToCli: 0 };
  let cliToModule = 0;
  let moduleToCli = 0;
  for (let i = 0; i < count; ++i) {
    const text = randomText(cipherKinds, 0);
    const keys = randomKeys();

    // velotan-cli encrypts, the module decrypts.
    const lines = runCli('encrypt', keys, text).split('\n');
    const decoded = core.decrypt(lines[0], lines[1], keys[0], keys[1]);
    if (decoded === text) {
      ++cliToModule;
    } else if (failures.cliToModule++ < 5) {
      console.log('cli -> module #' + i + ' keys ' + keys + ': ' + show(text) + ' came back as ' + show(decoded));
    }

    // The module encrypts, velotan-cli decrypts.
    const pair = core.encrypt(text, keys[0], keys[1]);
    const back = pair ? runCli('decrypt', keys, pair.cipherText + '\n' + pair.codeTable + '\n') : null;
    if (back === text) {
      ++moduleToCli;
    } else if (failures.moduleToCli++ < 5) {
      console.log('module -> cli #' + i + ' keys ' + keys + ': ' + show(text) + ' came back as ' + show(back || ''));
    }
  }
  console.log('velotan-cli encrypts, module decrypts: ' + cliToModule + ' of ' + count);
  console.log('module encrypts, velotan-cli decrypts: ' + moduleToCli + ' of ' + count);
  const key = core.newStrongKey();
  let strong = [false];
  try {
    strong = [
      strongRoundTrips(core, key),
      keyBoxAndQuestions(core, key),
      strongVectors(core),
      strongInterop(core),
    ];
  } catch (error) {
    // The module's loader turns an uncaught error into a dump of itself.
    console.log(String(error.stack || error).slice(0, 2000));
  }
  fs.rmSync(folder, { recursive: true, force: true });
  process.exit(cliToModule === count && moduleToCli === count && strong.every(Boolean) ? 0 : 1);
}, (error) => {
  console.log('the module did not start: ' + error);
  process.exit(1);
});
