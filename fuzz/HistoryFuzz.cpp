// History file readers on hostile files: parsing, the line count of the undo command's check,
// line-end trimming, the writer's output read back, and the run's journal read and written again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/history/History.h"
#include "plugin/history/HistoryStore.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    std::string text(bytes, size);

    HistoryRecord record = parseHistoryText(text.c_str());
    HistoryCount count = countHistoryLines(bytes, size);
    if (record.ok) {
        // Every CR LF line is read as at least one line by the counter.
        if (!count.hasFirstLine || count.moveLines < static_cast<long>(record.moves.size()))
            abort();
        for (const HistoryMove& move : record.moves)
            if (move.entryName.find(' ') != std::string::npos || move.destFolder.find("\r\n") != std::string::npos)
                abort();
    }
    if (count.firstLine.size() > 1022)
        abort();

    std::vector<char> line(text.c_str(), text.c_str() + strlen(text.c_str()) + 1);
    size_t before = strlen(line.data());
    char* trimmed = trimLineEnd(line.data());
    if ((before == 0) != (trimmed == nullptr))
        abort();
    if (trimmed) {
        size_t after = strlen(trimmed);
        if (after > before || (after > 0 && trimmed[after - 1] == '\n'))
            abort();
    }

    // Written moves read back: the move list is the input itself.
    std::string file = formatHistory("acct\\Inbox.box", false, text);
    HistoryRecord again = parseHistoryText(file.c_str());
    if (!again.ok || again.sourceFolder != "acct\\Inbox.box")
        abort();

    // A journal's moves, each with its identity, write back to the lines they were read from.
    StoredRecord journal;
    if (parseJournal(text, journal)) {
        if (journal.identities.size() != journal.record.moves.size())
            abort();
        std::string rewritten = journalStart(journal.record.sourceFolder);
        for (size_t i = 0; i < journal.record.moves.size(); ++i) {
            std::string out;
            if (!journalLine(journal.record.moves[i], journal.identities[i], out))
                abort();
            rewritten += out;
        }
        if (text.compare(0, rewritten.size(), rewritten) != 0)
            abort();
    }
    return 0;
}
