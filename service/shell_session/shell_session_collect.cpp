#include "service/shell_session/shell_session_collect.h"

#include <algorithm>

#include "service/shell_session/shell_answer_rules.h"
#include "service/shell_session/shell_prompt_watch.h"
#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

constexpr const char* kPagerKey = " ";
constexpr const char* kEnterKey = "\r";
// Line breaks in a row at the end of a listing whose answers bring no listing and no prompt
// alike: a device whose prompt never comes back as it was ends within a handful.
constexpr int kMostLineBreaksAtTheEnd = 5;

// The configuration lines read, without the command's echo, for the event log.
std::string LinesRead(const std::vector<std::string>& lines, size_t end) {
  size_t count = 0;
  for (size_t i = 1; i < end; ++i)
    if (!ShownLine(lines[i]).empty()) ++count;
  return std::to_string(count) + (count == 1 ? " line" : " lines");
}

// A pager prompt on a collected line, from `start` on: the device erased it once a key came (it
// went back over the line and blanked it, or erased it within the line), or it stood at known
// pager words. It goes once the listing is read, when no answer can continue the line any more.
struct PagerOnLine {
  enum Kind { Overwritten, ErasedInLine, Known };
  size_t line;
  size_t start;
  Kind kind;
};

// A pager's erasing comes right after its short text: only the start of a long line is looked at.
constexpr size_t kErasureLookahead = 4096;

void EraseFrom(std::string& line, const PagerOnLine& pager) {
  const size_t start = std::min(pager.start, line.size());
  if (pager.kind == PagerOnLine::Overwritten) {
    line.resize(start);
  } else if (auto erased = EraseOnScreen(line, start)) {
    line = std::move(erased->screen);
  } else if (pager.kind == PagerOnLine::Known && IsPagerPrompt(ShownLine(std::string_view(line).substr(start)))) {
    line.resize(start);  // a device that ends its pager with a line break
  }
}

// The line the output stands on as the screen shows it, its pager prompts erased.
std::string LastOnScreen(const std::vector<std::string>& collected, const std::vector<PagerOnLine>& pagers) {
  std::string line = collected.back();
  for (auto pager = pagers.rbegin(); pager != pagers.rend() && pager->line + 1 == collected.size(); ++pager)
    EraseFrom(line, *pager);
  return line;
}

void ErasePagers(std::vector<std::string>& collected, const std::vector<PagerOnLine>& pagers) {
  // The erase to the end of the line that followed a return over a pager is not the next line's.
  for (const PagerOnLine& pager : pagers) {
    if (pager.kind != PagerOnLine::Overwritten || pager.line + 1 >= collected.size()) continue;
    std::string& next = collected[pager.line + 1];
    for (std::string_view erase : {"\x1b[K", "\x1b[0K", "\x1b[2K", "[K", "[0K", "[2K"})
      if (next.starts_with(erase)) {
        next.erase(0, erase.size());
        break;
      }
  }
  for (auto pager = pagers.rbegin(); pager != pagers.rend(); ++pager) {
    if (pager->line >= collected.size()) continue;  // a prompt line, gone already
    std::string& line = collected[pager->line];
    EraseFrom(line, *pager);
    if (ShownLine(line).empty()) collected.erase(collected.begin() + static_cast<long>(pager->line));
  }
}

// The answer to a line break stops at the start of the prompt (a device pausing inside it): the
// rest comes without a key, so the answer is read on while it grows.
void ReadSplitPrompt(CShellSession& session, OutputLines::Answer& answer, const std::string& prompt) {
  for (;;) {
    const std::string part = ShownLine(answer.lines.back());
    if (part.empty() || part.size() >= prompt.size() || !prompt.starts_with(part) || !session.Alive()) return;
    OutputLines::Answer more = session.ReadAnswer();
    if (more.lines.size() == answer.lines.size() && more.lines.back() == answer.lines.back()) return;
    answer = std::move(more);
  }
}

// The standing line shows the beginning of the device's prompt: the rest comes without a key, so
// the output is read on once while it grows. `reread` reads all since the last send again.
template <typename Reread>
void ReadInsidePrompt(CShellSession& session, Reread reread) {
  for (int more = 0; more < kMostLineBreaksAtTheEnd && session.Alive(); ++more) {
    const CShellSession::Standing standing = session.Stands();
    if (standing.pager || !standing.promptStart) return;
    if (!reread()) return;
  }
}

// Drops the device's prompt lines from the end of the collected lines: keys typed ahead while
// the device paused may have shown the prompt more than once.
void DropFinalPrompts(std::vector<std::string>& collected, const std::string& shown) {
  const std::string shape = PromptShape(shown);
  while (!collected.empty() && PromptShape(ShownLine(collected.back())) == shape) collected.pop_back();
}

// How the device's listing ended.
enum class ListingEnd { AtPrompt, Ended, Silent, Cut, Bounds, Unsteady };

// Reads the listing of the backup command to its end: the device's prompt standing alone at the
// end of the output and shown again, alike, in answer to a line break (or, from a device that
// takes a line break in silence, the learned prompt standing alone at the end). Until then a
// pager prompt the device waits at gets a space; the learned prompt, or a line ending as prompts
// do, gets a line break, whose answer either shows the prompt again (the end) or continues the
// listing (a device that only paused there); output that stopped anywhere else gets a space (a
// pager prompt not known as one; answered by its echo alone, it was where the device takes
// commands, and a line break follows). An answer that brings nothing within the time-out and its
// retries, a connection that ends and a cut are no end: the listing is not whole. On the end the
// prompt lines go.
// Each key sent is taken by the first pager prompt from where the output stood on: a line the
// device erased after it (so a line the device stopped at and erased is a pager prompt, whatever
// its words, and one whose words are known), and a key typed ahead where the device only paused
// by a pager further on that the device erased. A line that stays on the screen is the
// listing's, whatever it reads like; the pager prompts found go once the listing is read.
ListingEnd ReadListing(CShellSession& session, std::vector<std::string>& collected, const ShellPagingLimits& limits,
                       std::vector<PagerOnLine>& pagers) {
  session.ReadLines(collected);
  ReadInsidePrompt(session, [&] {
    const size_t before = collected.size();
    const std::string last = collected.empty() ? std::string() : collected.back();
    collected.clear();
    session.ReadLines(collected);
    return collected.size() != before || (!collected.empty() && collected.back() != last);
  });
  bool echoedKey = false;
  int keysAhead = 0;
  int breaksAtTheEnd = 0;
  for (int turn = 0;; ++turn) {
    if (session.Cut() != ShellCut::None || session.Interrupted()) return ListingEnd::Cut;
    if (collected.empty()) return session.Alive() ? ListingEnd::Silent : ListingEnd::Ended;
    if (turn == limits.pages || collected.size() > limits.lines) return ListingEnd::Bounds;
    if (breaksAtTheEnd == kMostLineBreaksAtTheEnd) return ListingEnd::Unsteady;
    const CShellSession::Standing standing = session.Stands();
    if (!session.Alive()) return ListingEnd::Ended;
    const std::string shown = ShownLine(LastOnScreen(collected, pagers));
    const bool atPrompt = !standing.pager && (standing.prompt || echoedKey || LooksLikePrompt(shown));
    const size_t standingLine = collected.size() - 1;
    size_t pagerStart = collected.back().size() - std::min(standing.freshLength, collected.back().size());
    if (!session.SendText(atPrompt ? kEnterKey : kPagerKey)) return ListingEnd::Ended;
    ++keysAhead;
    OutputLines::Answer answer = session.ReadAnswer();
    if (answer.lines.empty()) {
      // A device that takes a line break in silence waited at its prompt.
      if (atPrompt && standing.learnedPrompt && session.Alive() && session.Cut() == ShellCut::None &&
          !session.Interrupted()) {
        DropFinalPrompts(collected, shown);
        return ListingEnd::AtPrompt;
      }
      return session.Alive() ? ListingEnd::Silent : ListingEnd::Ended;
    }
    if (atPrompt) {
      ReadSplitPrompt(session, answer, shown);
      ReadInsidePrompt(session, [&] {
        OutputLines::Answer more = session.ReadAnswer();
        const bool grew = more.lines.size() != answer.lines.size() || more.lines.back() != answer.lines.back();
        if (grew) answer = std::move(more);
        return grew;
      });
    }
    if (atPrompt && PromptCameBack(answer, shown)) {
      DropFinalPrompts(collected, shown);
      return ListingEnd::AtPrompt;
    }
    // The answer to a line break at the end that brings no listing, only another prompt.
    breaksAtTheEnd = atPrompt && ShownLineCount(answer) <= 1 ? breaksAtTheEnd + 1 : 0;
    AddAnswer(collected, answer);
    if (answer.dropsStanding) pagerStart = 0;  // the line that stood went; the answer's first is there
    bool standingWasPager = false;
    for (size_t i = 0; i < answer.lines.size() && keysAhead > 0; ++i) {
      const size_t line = standingLine + i;
      if (line >= collected.size()) break;
      if (!pagers.empty() && pagers.back().line == line) continue;  // its pager was found already
      const size_t start = i == 0 ? pagerStart : 0;
      PagerOnLine::Kind kind;
      std::string text;
      if (std::find(answer.erased.begin(), answer.erased.end(), i) != answer.erased.end()) {
        kind = PagerOnLine::Overwritten;
        text = ShownLine(std::string_view(collected[line]).substr(std::min(start, collected[line].size())));
      } else if (auto erased = EraseOnScreen(std::string_view(collected[line]).substr(0, start + kErasureLookahead),
                                             start)) {
        kind = PagerOnLine::ErasedInLine;
        text = std::move(erased->erased);
      } else if (i == 0 && standing.pager) {
        kind = PagerOnLine::Known;
      } else {
        continue;
      }
      pagers.push_back({line, start, kind});
      --keysAhead;
      if (i == 0) {
        // The device waited there for the key: keys typed ahead before went elsewhere.
        standingWasPager = true;
        keysAhead = 0;
        if (kind != PagerOnLine::Known && !text.empty()) session.LearnPager(text);
      }
    }
    echoedKey = !atPrompt && !standingWasPager && answer.lines.size() == 1 && ShownLine(answer.lines.front()).empty();
  }
}

// The script's lines that say something, whose echo may stand in the listing.
std::vector<std::string> SentPieces(const std::vector<std::string>& pieces) {
  std::vector<std::string> sent;
  for (const std::string& piece : pieces)
    if (!piece.empty()) sent.push_back(piece);
  return sent;
}

// Why a listing that did not end at the prompt is not stored, for the event log.
std::string IncompleteText(ListingEnd end, const std::vector<std::string>& lines, const ShellSettings& settings,
                           const PromptWatch& prompt) {
  const bool closedAtPrompt =
      end == ListingEnd::Ended && !lines.empty() && prompt.IsDevicePrompt(ShownLine(lines.back()));
  const std::string read = LinesRead(lines, lines.size() - (closedAtPrompt ? 1 : 0));
  const int silence = std::max(1, settings.m_nTimeout) * std::max(1, settings.m_nRetries);
  switch (end) {
    case ListingEnd::Ended:
      return "The connection ended after " + read +
             (closedAtPrompt ? ", right after the prompt" : ", before the prompt");
    case ListingEnd::Silent:
      return "The device sent nothing for " + std::to_string(silence) + " s after " + read + ", before the prompt";
    case ListingEnd::Bounds: return "The listing went on beyond the paging limits after " + read;
    case ListingEnd::Unsteady:
      return "The device's prompt did not come back alike after " + std::to_string(kMostLineBreaksAtTheEnd) +
             " line breaks, after " + read;
    default: return {};
  }
}

}  // namespace

bool ShellAnswers(ShellConversations& conversations, const std::string& address, const ShellSettings& settings,
                  const ManualEvent* scanStop) {
  CShellSession session(conversations, scanStop);
  bool answered = session.Open(address, settings);
  session.Close();
  return answered;
}

ShellCollection CollectShellConfiguration(ShellConversations& conversations, const std::string& address,
                                          const ShellSettings& settings, ShellPagingLimits limits,
                                          const ManualEvent* scanStop) {
  ShellCollection result;
  int attempts = std::max(1, settings.m_nRetries);
  for (int attempt = 0; attempt < attempts && result.cut == ShellCut::None; ++attempt) {
    CShellSession session(conversations, scanStop);
    if (session.Interrupted()) break;
    if (!session.Open(address, settings)) {
      result.cut = session.Cut();
      session.Close();
      continue;
    }
    bool loggedIn = session.Login();
    if (session.LoggedIn()) result.logonFailed = false;
    if (!loggedIn) {
      result.cut = session.Cut();
      session.Close();
      continue;
    }
    session.SendScript(settings.m_strBackupCommand);
    std::vector<PagerOnLine> pagers;
    ListingEnd end = ReadListing(session, result.lines, limits, pagers);
    ErasePagers(result.lines, pagers);
    const PromptWatch prompt = session.LearnedPrompt();
    const std::vector<std::string> pieces = ScriptPieces(settings.m_strBackupCommand);
    const std::vector<std::string> sent = SentPieces(pieces);
    // A script with a line after the backup command ("exit") may end the session: the prompt stood
    // after the listing, and the lines before it are the configuration.
    if (end == ListingEnd::Ended && sent.size() >= 2) {
      const size_t at = PromptBeforeClose(result.lines, sent.back(), prompt);
      if (at > 0 && at < result.lines.size()) {
        result.lines.resize(at);
        end = ListingEnd::AtPrompt;
      }
    }
    if (end == ListingEnd::AtPrompt && IsErrorAnswerOnly(result.lines)) {
      session.ReportFailure("The device answered the backup command with an error: " + ShownLine(result.lines.back()));
    } else if (end == ListingEnd::AtPrompt && IsEmptyListing(result.lines, sent, prompt)) {
      session.ReportFailure("The device answered the backup command with its prompt alone");
    } else if (end == ListingEnd::AtPrompt) {
      result.complete = true;
    } else if (end != ListingEnd::Cut) {
      session.ReportFailure(IncompleteText(end, result.lines, settings, prompt));
    }
    result.cutShort = end == ListingEnd::Bounds || session.CutShort();
    session.Close();
    result.cut = session.Cut();
    // Only a whole configuration is kept; one cut short, or by a stop, ends the attempts.
    if (!result.complete) result.lines.clear();
    if (result.complete || result.cutShort || result.cut != ShellCut::None) break;
  }
  // A stop that came before the login completed refused nothing: no logon failure is told.
  if (result.cut == ShellCut::ScanStop || result.cut == ShellCut::ServiceStop) result.logonFailed = false;
  return result;
}

ShellRequestOutcome SendShellRequest(CShellSession& session, const std::string& command, const std::string& value,
                                     std::vector<std::string>* rejectedTexts) {
  // Of a device's error line, the event log keeps this much.
  constexpr size_t kShownErrorLimit = 200;
  const ShellSettings& settings = session.Settings();
  std::vector<std::string> lines;
  for (size_t start = 0; start <= value.size();) {
    size_t end = value.find_first_of("\r\n", start);
    if (end == std::string::npos) end = value.size();
    std::string line = Trim(std::string_view(value).substr(start, end - start));
    start = end + 1;
    if (!line.empty()) lines.push_back(std::move(line));
  }
  bool answered = false;
  bool rejected = false;
  // The restore reached its end only when every text was sent and the conversation was still
  // there for its answer; the last text answered names where it ended otherwise.
  bool ended = false;
  std::string lastAnswered = "the login";
  // Each text is sent alone and its answer read, so that an error line is seen whichever text
  // the device refused: the mode change, the command path, a restored line, the end or the save.
  // The last read also waits for the save's answer, which a device drops when the line hangs up.
  auto send = [&](const std::string& text, const std::string& what) {
    if (ended) return;
    std::vector<std::string> answer;
    if (!session.SendText(text + "\r") || (session.ReadLines(answer) == 0 && !session.Alive())) {
      ended = true;
      return;
    }
    if (answer.empty()) return;
    answered = true;
    lastAnswered = what;
    auto error = std::find_if(answer.begin(), answer.end(),
                              [](const std::string& line) { return IsDeviceErrorLine(ShownLine(line)); });
    if (error == answer.end()) return;
    rejected = true;
    session.ReportFailure("The device rejected \"" + text + "\": " + ShownLine(*error).substr(0, kShownErrorLimit));
    if (rejectedTexts) rejectedTexts->push_back(text);
  };
  auto sendScript = [&send](std::string_view script, const std::string& what) {
    for (const std::string& piece : ScriptPieces(script)) send(piece, what);
  };
  sendScript(settings.m_strRestoreStart, "the restore start");
  sendScript(OneLineScript(command), "the command path");
  for (size_t i = 0; i < lines.size(); ++i)
    send(lines[i], "restored line " + std::to_string(i + 1) + " of " + std::to_string(lines.size()));
  sendScript(settings.m_strRestoreEnd, "the restore end");
  sendScript(settings.m_strRestoreSave, "the restore save");
  if (ended) {
    const char* how = session.Cut() == ShellCut::None ? "the connection ended" : "the conversation was cut off";
    session.ReportFailure("The restore did not reach its end: " + std::string(how) + " after " + lastAnswered);
    return ShellRequestOutcome::Incomplete;
  }
  if (rejected) return ShellRequestOutcome::Rejected;
  return answered ? ShellRequestOutcome::Answered : ShellRequestOutcome::Unanswered;
}

}  // namespace mirvale
