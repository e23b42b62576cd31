// Decoding a typical Japanese message (encoded From and Subject, a Base64 UTF-8 body of about
// 6 KB in all) and hostile ones: a 64 KB Subject of encoded words that close only at its end
// and are refused (unknown charset, bad Base64), each at most 2 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "plugin/text/MessageDecoder.h"

using namespace corvane;

namespace {

const char kLineBase64[] =  // " 請求書のご案内です。お支払い期限は月末までとなっております。" and CRLF, in UTF-8
    "IOiri+axguabuOOBruOBlOahiOWGheOBp+OBmeOAguOBiuaUr+aJleOBhOacn+mZkOOBr+aciOacq+OBvuOBp+OBqOOBquOBo+OBpuOBiuOCiuOBvuOBmeOAgg0K";

std::string typicalMessage() {
    std::string text =
        "Return-Path: <billing@example.co.jp>\r\n"
        "Received: from mx1.example.net (mx1.example.net [192.0.2.10])\r\n\tby mail.example.co.jp with ESMTP id abc123;\r\n"
        "\tMon, 3 Jun 2024 09:12:44 +0900\r\n"
        "Message-ID: <20240603091244.12345@example.co.jp>\r\n"
        "Date: Mon, 3 Jun 2024 09:12:44 +0900\r\n"
        "From: =?ISO-2022-JP?B?GyRCN1BNfUl0GyhC?= <billing@example.co.jp>\r\n"
        "To: user@example.jp\r\n"
        "Subject: =?UTF-8?B?6KuL5rGC5pu444Gu44GU5qGI5YaFIE5vLjUwMDM=?=\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: text/plain; charset=\"UTF-8\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n";
    std::string body;
    while (text.size() + body.size() < 6000)
        body += kLineBase64;
    for (size_t i = 76; i < body.size(); i += 78)
        body.insert(i, "\r\n");
    return text + body + "\r\n";
}

void BM_DecodeTypicalMessage(benchmark::State& state) {
    std::string message = typicalMessage();
    MessageDecoder decoder;
    size_t length = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(decoder.decodeMessage(message.c_str(), &length));
    state.counters["bytes"] = static_cast<double>(message.size());
    state.counters["decoded"] = static_cast<double>(length);
}
BENCHMARK(BM_DecodeTypicalMessage)->Unit(benchmark::kMicrosecond);

// A Subject of the piece repeated to the 64 KB a run reads, closed by "?=".
std::string hostileSubject(const char* piece) {
    std::string text = "From: a@example.jp\r\nSubject: ";
    while (text.size() < kMessageReadCap - 32)
        text += piece;
    return text + "?=\r\n\r\nbody\r\n";
}

void BM_DecodeHostileSubject(benchmark::State& state, const char* piece) {
    std::string message = hostileSubject(piece);
    MessageDecoder decoder;
    size_t length = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(decoder.decodeMessage(message.c_str(), &length));
    state.counters["bytes"] = static_cast<double>(message.size());
}
BENCHMARK_CAPTURE(BM_DecodeHostileSubject, UnknownCharset, "=?x?Q?a")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DecodeHostileSubject, BadBase64, "=?utf-8?B?!")->Unit(benchmark::kMicrosecond);

}  // namespace
