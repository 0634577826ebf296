#pragma once
// The texts of one e-mail: the recipient list split into addresses, and the DATA section as it
// goes on the wire (CRLF line ends, dot-stuffed, ended by the lone ".").
#include <string>
#include <string_view>
#include <vector>

namespace mirvale {

// Parts of a ";"-separated list, trimmed of white space; blank parts are dropped.
std::vector<std::string> SplitRecipients(std::string_view recipients);

// True when text holds a CR or LF, which would end an SMTP command early.
bool HasLineBreak(std::string_view text);

// Turns every bare CR, bare LF and CR LF into CR LF.
std::string NormaliseLineEnds(std::string_view text);

// Doubles the "." that starts any line of CRLF-ended text, so no line can end the DATA early.
std::string DotStuff(std::string_view text);

// A header's text as it may go on the wire: unchanged when it is printable ASCII, else as
// RFC 2047 encoded words ("=?UTF-8?B?...?="), folded onto continuation lines.
std::string EncodeHeaderText(std::string_view text);

// The header lines, a blank line, the body and the end-of-data line, ready to send after the
// server's 354. Line breaks in the subject become spaces so the body cannot leak into headers.
std::string BuildMessageData(std::string_view sender, std::string_view recipient, std::string_view subject,
                             std::string_view body);

}  // namespace mirvale
