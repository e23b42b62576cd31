// The undo's search for moved messages by identity, with real files: 500 records whose key was
// taken, sorted into a destination of 20,000 messages, each looked for once, as one undo does.
// Only the plug-in's own time: no host moves.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "plugin/history/IdentitySearch.h"
#include "plugin/text/MessageReadCap.h"

using namespace corvane;

namespace {

constexpr size_t kFolderSize = 20000;
constexpr size_t kRecords = 500;

// Entries "Dest\key" as files "<root>/Dest/key.qpm", and "<root>/Dest/Entry.lst".
class DirectoryFiles final : public MessageFiles {
public:
    explicit DirectoryFiles(std::string root) : root_(std::move(root)) {}

    bool readList(const std::string& folder, std::string& text) override {
        return readFile(root_ + "/" + folder + "/Entry.lst", text, SIZE_MAX);
    }
    bool fileSize(const std::string& entry, uint64_t& size) override {
        struct stat info;
        if (stat(fileOf(entry).c_str(), &info) != 0)
            return false;
        size = static_cast<uint64_t>(info.st_size);
        return true;
    }
    bool readHead(const std::string& entry, std::vector<char>& buffer, size_t& read, uint64_t& size) override {
        std::string text;
        if (!readFile(fileOf(entry), text, kMessageReadCap) || !fileSize(entry, size))
            return false;
        buffer.assign(text.begin(), text.end());
        read = text.size();
        return true;
    }

private:
    std::string fileOf(const std::string& entry) const {
        size_t slash = entry.find('\\');
        return root_ + "/" + entry.substr(0, slash) + "/" + entry.substr(slash + 1) + ".qpm";
    }
    static bool readFile(const std::string& path, std::string& text, size_t cap) {
        FILE* file = std::fopen(path.c_str(), "rb");
        if (!file)
            return false;
        text.clear();
        char chunk[65536];
        size_t got;
        while (text.size() < cap && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            text.append(chunk, std::min(got, cap - text.size()));
        std::fclose(file);
        return true;
    }
    std::string root_;
};

struct Destination {
    std::string root;
    std::vector<MessageIdentity> records;

    Destination() {
        char pattern[] = "/tmp/corvane-identity-bench-XXXXXX";
        root = mkdtemp(pattern);
        mkdir((root + "/Dest").c_str(), 0700);
        std::mt19937 random(20261209);
        std::string list;
        for (size_t i = 0; i < kFolderSize; ++i) {
            // The run's messages came in under "<key>_1": the key was taken by the folder's own.
            char key[32];
            std::snprintf(key, sizeof key, i < kRecords ? "%08zu_1" : "%08zu", i < kRecords ? i * 40 : i);
            std::string text = "Subject: message " + std::string(key) + "\r\n\r\n" + std::string(200 + random() % 6000, 'x');
            FILE* file = std::fopen((root + "/Dest/" + key + ".qpm").c_str(), "wb");
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
            list += std::string(key) + "=AAAAAAAAAAAAAAAA\r\n";
            if (i < kRecords)
                records.push_back(identityOf(text.data(), text.size(), text.size(), true));
        }
        FILE* file = std::fopen((root + "/Dest/Entry.lst").c_str(), "wb");
        std::fwrite(list.data(), 1, list.size(), file);
        std::fclose(file);
    }
    ~Destination() { std::system(("rm -rf '" + root + "'").c_str()); }
};

void BM_UndoSearch500TakenKeysIn20000(benchmark::State& state) {
    static Destination destination;
    DirectoryFiles files(destination.root);
    size_t found = 0;
    for (auto _ : state) {
        IdentitySearch search(files);
        found = 0;
        for (const MessageIdentity& identity : destination.records)
            found += !search.find("Dest", identity).empty();
    }
    if (found != kRecords)
        state.SkipWithError("a record was not found");
}
BENCHMARK(BM_UndoSearch500TakenKeysIn20000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
