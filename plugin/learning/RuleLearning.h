// Rules learnt from how the user already filed mail: for every folder the fewest rules in the
// plug-in's own vocabulary that take its messages and no message filed elsewhere. Works on
// message texts in memory, matched with the plug-in's matching on the raw bytes (encoded
// words stay encoded). The core of corvane-check suggest and of the plug-in's learning dialog.
// Platform-free.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "plugin/learning/LearnCandidates.h"
#include "plugin/learning/LearnMonitor.h"
#include "plugin/rules/DistributeRule.h"

namespace corvane {

struct LearnMessage {
    std::string text;  // the message as a run reads it: capped, up to the first NUL
    int folder = -1;   // index in LearnInput::folders, or -1 for a message in the inbox
    // Of the inbox mail: unread, waiting for the rules. Never evidence against a rule.
    bool unread = false;
};

// The least number of a folder's filed messages a proposed rule takes (that no earlier proposal
// took): a rule resting on one or two messages fits those messages, not the stream they came in.
constexpr int kLeastEvidence = 3;

// Read mail left in the inbox keeps a rule from being proposed only when it is more than this
// percentage of what the rule takes (its folder's mail and that inbox mail together). Below it,
// the inbox mail is taken as mail of the folder's stream not yet filed: the newest third of a
// stream read but not filed is a third of what its rule takes. Above it the rule would take
// more of the inbox than of its folder: mail the user keeps there, personal mail and one-off
// senders, which no folder's rule may take.
constexpr int kReadInboxSharePercent = 50;

// Turns a raw header value (unfolded, as extractHeaderValue gives it) into the text the plug-in
// matches named-header rules on when it decodes messages (MIME encoded words and charsets to
// code page 932). Given only with that option on; header-block and body lines stay raw.
class LearnDecoder {
public:
    virtual ~LearnDecoder() = default;
    virtual std::string decodeHeader(const std::string& value) = 0;
};

struct LearnOptions {
    int leastEvidence = kLeastEvidence;
    // Leave out every value found in the mail of more than half of the folders that hold mail
    // (the mail left in the inbox counting as one folder; at least three folders): the owner's own
    // addresses, on nearly all mail to them, and the like. An address counts in whichever header it
    // is found, and its domain with it: the owner's domain goes with the owner's address.
    bool skipCommonValues = true;
    // No To, Cc or Delivered-To texts from a message that has a list header: the list's own header
    // names its stream, and its recipients include the other lists of a cross-post.
    bool preferListHeaders = true;
    LearnDecoder* decoder = nullptr;  // learn on decoded header values (not owned)
    // The option decodeMime: the rules match each message as a run decodes it (MessageDecoder),
    // header values cut to their capacity before they are decoded; learning, its counts and its
    // checks all see that text. Takes the place of decoder.
    bool decodeMime = false;
    // See kReadInboxSharePercent; 0: every read inbox message a rule takes keeps it out.
    int readInboxSharePercent = kReadInboxSharePercent;

    // The bare cover, for checking it against a reference: every candidate, one message enough,
    // no read inbox mail taken.
    static LearnOptions plainCover() {
        LearnOptions options;
        options.leastEvidence = 1;
        options.readInboxSharePercent = 0;
        options.skipCommonValues = false;
        options.preferListHeaders = false;
        return options;
    }
};

struct LearnInput {
    std::vector<std::string> folders;     // destination folder paths
    std::vector<LearnMessage> messages;
    RuleList existing;                    // the account's rules, run before any suggestion
    LearnOptions options;
};

struct SuggestedRule {
    DistributeRule rule;
    int folder = 0;
    int covers = 0;  // messages of its folder it takes that no earlier suggestion took
};

// Why a filed message is not taken into its folder.
struct Unseparated {
    size_t message = 0;
    int existingRule = 0;       // 1-based: an existing rule sends it elsewhere first
    int clashFolder = -2;       // the folder (-1: the messages that stay) its best rule also takes; -2 none
    int clashCount = 0;         // how many messages there
    int evidence = 0;           // with no clash: the best clean rule takes only this many, under the minimum
    bool tooFew = false;        // no clean rule evaluated: every text it gives, fewer messages give than the minimum
    DistributeRule best;        // that best rule (searchText empty when the message gave none)
};

struct FolderLearning {
    int filed = 0;            // messages in the folder
    int decidedByExisting = 0;  // of them, put into the folder by an existing rule
    int covered = 0;          // of them, put there by a suggestion
    bool capped = false;      // stopped at kMostCandidatesPerFolder candidates tried
    std::vector<size_t> rules;  // indices into Learning::rules
    std::vector<Unseparated> unseparated;
};

// Why a message was left unseparated, decided once so that every report tells it the same way.
enum class UnseparatedReason {
    ExistingRuleFirst,  // an existing rule sends it elsewhere first
    TooFew,             // every text it gives, fewer messages give than the minimum
    UnderMinimum,       // its best clean rule takes fewer messages than the minimum
    CandidateLimit,     // the folder stopped at kMostCandidatesPerFolder before one was found
    NoUsableHeader,     // it gave no text to learn on
    Clash,              // its best rule also takes mail of another folder or mail that stays
};

UnseparatedReason unseparatedReason(const FolderLearning& folder, const Unseparated& why);

struct Learning {
    std::vector<SuggestedRule> rules;  // in the order they are to run, after the existing ones
    std::vector<FolderLearning> folders;
    // Per message: the existing rule that decides it as a run would, or -1.
    std::vector<int> existingWinners;
    bool cancelled = false;  // the monitor stopped the work: folders after the last one learnt have no rules
};

// The most candidate rules tried for one folder, each run over every message: what bounds the
// time a folder that mail from ever new senders fills can take.
constexpr size_t kMostCandidatesPerFolder = 1000;

// Named-header rules first (the From display name among them); a header-block line, then a body line (a whole-message rule), only
// for what no rule before separates. Every rule takes no message of another folder, nor one that
// must stay, that the existing rules leave undecided; a greedy cover keeps them few.
Learning learnRules(const LearnInput& input, LearnMonitor* monitor = nullptr);

}  // namespace corvane
