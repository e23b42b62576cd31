#!/usr/bin/env python3
"""The decode corpus and its expectations, produced with Python's email package as the
reference decoder and converted to code page 932 the way Windows converts.

Writes into tests/fixtures/decode/:
  NAME.eml       synthetic messages: every charset x B/Q x single part/multipart/nested
  NAME.expected  for those and for CPython's email test messages (read at test time from
                 /usr/lib/python3.11/test/test_email/data, line ends made CRLF)

An .expected file holds, for the first field of each name in the message's header,
  "F <name length> <value length>\n" name value "\n"
with the value unfolded as the plug-in unfolds it and decoded by Python, and then
  "B <length>\n" body "\n"
with the text parts of the body as Python's email package gives them, joined by CRLF.

Python's results are taken through the rules the decoder documents (what Python has no
say in): control characters become blanks; raw header text is ISO-2022-JP when it holds its
escapes, UTF-8 when it is valid UTF-8 with a three- or four-byte sequence, else left as it
stands; a text part without charset likewise; Shift_JIS names use code page 932; an unknown
body charset leaves the bytes as they stand. Where Python's codecs and Windows' code page 932
differ, Windows wins (see windows_encoder); a field whose decoding Python refuses is left out.
"""
import base64
import email
import email.header
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "..", "fixtures", "decode")
CPYTHON_DATA = "/usr/lib/python3.11/test/test_email/data"
VALUE_SIZE = 1024
MAX_DEPTH = 8
MAX_PARTS = 1000

CODECS = {
    "iso-2022-jp": "iso2022_jp", "csiso2022jp": "iso2022_jp",
    "shift_jis": "cp932", "shift-jis": "cp932", "sjis": "cp932", "x-sjis": "cp932",
    "windows-31j": "cp932", "cp932": "cp932", "ms932": "cp932", "csshiftjis": "cp932",
    "euc-jp": "euc_jp", "x-euc-jp": "euc_jp", "utf-8": "utf-8", "utf8": "utf-8",
    "us-ascii": "ascii", "ascii": "ascii",
    "iso-8859-1": "latin-1", "iso_8859-1": "latin-1", "latin1": "latin-1", "latin-1": "latin-1",
}


def windows_encoder():
    """Unicode to code page 932 as Windows converts: every code's character from Python's cp932
    decoder, the first code of a character winning, the NEC-selected copies (leads 0xED, 0xEE)
    last, so U+7E8A gives 0xFA5C where Python's encoder gives 0xED40; and the JIS X 0208 forms
    that Python's iso2022_jp and euc_jp decoders give (U+301C and five more)."""
    table = {}
    for b in range(256):
        try:
            table.setdefault(bytes([b]).decode("cp932"), bytes([b]))
        except UnicodeDecodeError:
            pass
    leads = [l for l in range(0x81, 0xFD) if not 0xA0 <= l <= 0xDF and l not in (0xED, 0xEE)]
    for lead in leads + [0xED, 0xEE]:
        for trail in range(0x40, 0xFD):
            try:
                table.setdefault(bytes([lead, trail]).decode("cp932"), bytes([lead, trail]))
            except UnicodeDecodeError:
                pass
    for ch in "\u301c\u2016\u2212\u00a2\u00a3\u00ac":
        table.setdefault(ch, ch.encode("cp932"))
    return table


ENCODER = windows_encoder()


def to_cp932(text, controls):
    out = bytearray()
    for ch in text:
        if ord(ch) < 0x20 and (controls == "header" or ch not in "\t\r\n"):
            out += b" "
        else:
            out += ENCODER.get(ch, b"?")
    return bytes(out)


def looks_like_utf8(data):
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        return False
    return any(ord(ch) >= 0x800 for ch in text)


def has_jis_escape(data):
    return any(e in data for e in (b"\x1b$B", b"\x1b$@", b"\x1b(I"))


def sniff(data):
    return "iso2022_jp" if has_jis_escape(data) else "utf-8" if looks_like_utf8(data) else None


def convert(data, codec, controls):
    if codec is None:
        return bytes(b if b >= 0x20 or controls == "raw" or (controls == "body" and b in b"\t\r\n")
                     else 0x20 for b in data)
    return to_cp932(data.decode(codec, "replace"), controls)


def unfold(header, name):
    """The value of the first field starting with name, unfolded as the plug-in does."""
    lines = header.split(b"\r\n")
    for i, line in enumerate(lines):
        if line[:len(name)].lower() != name.lower():
            continue
        value = line[len(name):].lstrip(b" ")
        if len(value) >= VALUE_SIZE:
            return None
        for more in lines[i + 1:]:
            if not more[:1] in (b" ", b"\t"):
                break
            segment = more.lstrip(b" \t")
            if len(value) + 1 + len(segment) < VALUE_SIZE:
                value += b" " + segment
        return value
    return None


def decode_value(value):
    raw_codec = sniff(value)
    text = value.decode("latin-1")
    if "=?" not in text:
        return convert(value, raw_codec, "raw")
    out = b""
    for chunk, charset in email.header.decode_header(text):
        if isinstance(chunk, str):
            chunk = chunk.encode("latin-1")
        if charset is None:
            out += convert(chunk, raw_codec, "raw")
        else:
            codec = CODECS.get(charset.split("*")[0])
            if codec is None:
                raise LookupError(charset)
            out += convert(chunk, codec, "header")
    return out


def text_parts(part, depth, counter, out):
    maintype = part.get_content_maintype()
    if part.is_multipart():
        if maintype != "multipart" or depth >= MAX_DEPTH:
            return
        for sub in part.get_payload():
            if counter[0] >= MAX_PARTS:
                break
            counter[0] += 1
            text_parts(sub, depth + 1, counter, out)
        return
    if maintype not in ("text", "multipart"):
        return
    payload = part.get_payload(decode=True) or b""
    charset = part.get_param("charset") if maintype == "text" else None
    if charset is None or isinstance(charset, tuple):
        codec = sniff(payload)
    else:
        codec = CODECS.get(charset.lower())
    out.append(convert(payload, codec, "body"))


def expectation(message):
    header_end = message.find(b"\r\n\r\n")
    header = message if header_end < 0 else message[:header_end]
    out = b""
    seen = set()
    for line in header.split(b"\r\n"):
        colon = line.find(b":")
        if colon <= 0 or line[:1] in (b" ", b"\t"):
            continue
        name = line[:colon + 1]
        if name.lower() in seen:
            continue
        seen.add(name.lower())
        value = unfold(header, name)
        if value is None:
            continue
        try:
            decoded = decode_value(value)
        except (email.errors.HeaderParseError, LookupError, UnicodeError):
            continue
        out += b"F %d %d\n%s%s\n" % (len(name), len(decoded), name, decoded)
    parts = []
    if header_end >= 0:
        text_parts(email.message_from_bytes(message), 0, [0], parts)
    body = b"\r\n".join(parts)
    return out + b"B %d\n%s\n" % (len(body), body)


TEXTS = {
    "iso-2022-jp": ("iso2022_jp", "請求書のご案内 No.5002 〜"),
    "shift_jis": ("cp932", "請求書のご案内 No.5002 纊①ｷｬﾝｾﾙ"),
    "windows-31j": ("cp932", "請求書のご案内 No.5002 ⅰ㈱ﾃｽﾄ"),
    "cp932": ("cp932", "請求書のご案内 No.5002 ￤＇"),
    "euc-jp": ("euc_jp", "請求書のご案内 No.5002 ｷｬﾝｾﾙ〜"),
    "utf-8": ("utf-8", "請求書のご案内 No.5003 café 〜 😀 纊"),
    "us-ascii": ("ascii", "Invoice No.5004, see you_soon?"),
    "iso-8859-1": ("latin-1", "Café 25°C ± ×"),
}


def encoded_words(name, codec, text, kind):
    """The text as two encoded words (split in the middle of its bytes for UTF-8, so a
    character is cut in two), in B or Q."""
    data = text.encode(codec)
    if codec == "utf-8":
        pieces = [data[:len(data) // 2 + 1], data[len(data) // 2 + 1:]]
    elif codec == "iso2022_jp":
        pieces = [data]
    else:
        half = len(text) // 2
        pieces = [text[:half].encode(codec), text[half:].encode(codec)]
    words = []
    for piece in pieces:
        if kind == "B":
            words.append("=?%s?B?%s?=" % (name.upper(), base64.b64encode(piece).decode()))
        else:
            q = "".join(chr(b) if chr(b).isalnum() and b < 0x80 else "_" if b == 0x20 else "=%02X" % b
                        for b in piece)
            words.append("=?%s?q?%s?=" % (name, q))
    return "\r\n ".join(words)


def body_part(name, codec, text, kind, subtype="plain"):
    data = ("%s\r\nline two\r\n" % text).encode(codec)
    if kind == "B":
        encoded = base64.encodebytes(data).decode().replace("\n", "\r\n")
        cte = "base64"
    else:
        encoded = "".join(chr(b) if 0x20 < b < 0x7F and b != 0x3D or b in (0x0D, 0x0A) else "=%02X" % b
                          for b in data)
        cte = "quoted-printable"
    return ("Content-Type: text/%s; charset=\"%s\"\r\nContent-Transfer-Encoding: %s\r\n\r\n%s"
            % (subtype, name, cte, encoded))


def synthetic(name, codec, text, kind, shape):
    head = ("From: %s <sender@example.jp>\r\nTo: user@example.jp\r\nSubject: %s\r\n"
            "Date: Tue, 8 Dec 2026 10:00:00 +0900\r\nMIME-Version: 1.0\r\n"
            % (encoded_words(name, codec, text[:12], kind), encoded_words(name, codec, text, kind)))
    if shape == "single":
        return (head + body_part(name, codec, text, kind)).encode("ascii")
    attachment = ("Content-Type: application/octet-stream; name=a.bin\r\n"
                  "Content-Transfer-Encoding: base64\r\n\r\nAAECAwQF\r\n")
    if shape == "multipart":
        inner = "--outer\r\n%s\r\n--outer\r\n%s\r\n--outer\r\n%s\r\n--outer--\r\n" % (
            body_part(name, codec, text, kind), attachment, body_part(name, codec, "<p>" + text + "</p>", kind, "html"))
    else:
        alternative = ("Content-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n--alt\r\n%s\r\n--alt\r\n%s\r\n--alt--\r\n"
                       % (body_part(name, codec, text, kind), body_part(name, codec, "<b>" + text + "</b>", kind, "html")))
        forwarded = "Content-Type: message/rfc822\r\n\r\nSubject: inner\r\n\r\nnot text of this message\r\n"
        inner = "preamble\r\n--outer\r\n%s\r\n--outer\r\n%s\r\n--outer\r\n%s\r\n--outer--\r\nepilogue\r\n" % (
            alternative, attachment, forwarded)
    return (head + "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n" + inner).encode("ascii")


def crlf(data):
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def main():
    os.makedirs(CORPUS, exist_ok=True)
    for old in os.listdir(CORPUS):
        os.remove(os.path.join(CORPUS, old))
    for name, (codec, text) in TEXTS.items():
        for kind in ("B", "Q"):
            for shape in ("single", "multipart", "nested"):
                message = synthetic(name, codec, text, kind, shape)
                base = os.path.join(CORPUS, "%s-%s-%s" % (name, kind, shape))
                with open(base + ".eml", "wb") as f:
                    f.write(message)
                with open(base + ".expected", "wb") as f:
                    f.write(expectation(message))
    if not os.path.isdir(CPYTHON_DATA):
        sys.exit("reference: %s missing; install libpython3.11-testsuite" % CPYTHON_DATA)
    for entry in sorted(os.listdir(CPYTHON_DATA)):
        if entry.startswith("msg_") and entry.endswith(".txt"):
            with open(os.path.join(CPYTHON_DATA, entry), "rb") as f:
                message = crlf(f.read())
            with open(os.path.join(CORPUS, "cpython-" + entry[:-4] + ".expected"), "wb") as f:
                f.write(expectation(message))


if __name__ == "__main__":
    main()
