#include "service/actions/email_message.h"

#include <gtest/gtest.h>

#include "platform/smtp_connection.h"
#include "service/actions/email_base64.h"
#include "service/actions/email_settings.h"

using namespace mirvale;

TEST(EmailBase64, EncodesStandardVectorsWithPadding) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(Base64Encode("\xff\xfe\xfd"), "//79");
}

TEST(EmailRecipients, SplitsTrimsAndSkipsBlankParts) {
  EXPECT_EQ(SplitRecipients(" a@x.org ;b@y.org;  ;"), (std::vector<std::string>{"a@x.org", "b@y.org"}));
  EXPECT_TRUE(SplitRecipients("").empty());
  EXPECT_TRUE(SplitRecipients(" ; ;").empty());
  EXPECT_EQ(SplitRecipients("one@x"), std::vector<std::string>{"one@x"});
}

TEST(EmailMessage, NormalisesEveryLineEndToCrLf) {
  EXPECT_EQ(NormaliseLineEnds("a\rb\nc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\n\r\ne");
  EXPECT_EQ(NormaliseLineEnds("\r"), "\r\n");
}

TEST(EmailMessage, DoublesOnlyDotsThatStartALine) {
  EXPECT_EQ(DotStuff(".\r\nx.y\r\n..z\r\n"), "..\r\nx.y\r\n...z\r\n");
}

TEST(EmailMessage, BuildsHeadersBodyAndTheEndOfData) {
  EXPECT_EQ(BuildMessageData("from@x", "to@y", "Subject", "line one\n.\nline three"),
            "from:<from@x>\r\nto:<to@y>\r\nsubject: Subject\r\n\r\n"
            "line one\r\n..\r\nline three\r\n.\r\n");
}

TEST(EmailMessage, ABodyEndingInCrLfKeepsItsBlankLineBeforeTheDot) {
  EXPECT_EQ(BuildMessageData("f", "t", "s", "Pool: p\r\n"),
            "from:<f>\r\nto:<t>\r\nsubject: s\r\n\r\nPool: p\r\n\r\n.\r\n");
}

TEST(EmailMessage, LineBreaksInTheSubjectCannotAddHeaders) {
  std::string data = BuildMessageData("f", "t", "hi\r\nbcc: victim@x", "b");
  EXPECT_NE(data.find("subject: hi  bcc: victim@x\r\n"), std::string::npos);
  EXPECT_TRUE(HasLineBreak("a\nb"));
  EXPECT_FALSE(HasLineBreak("a b"));
}

TEST(EmailMessage, NonAsciiSubjectsGoOutAsEncodedWordsOfWholeCharacters) {
  EXPECT_NE(BuildMessageData("f", "t", "\u00c4nderung am Ger\u00e4t", "b")
                .find("subject: =?UTF-8?B?w4RuZGVydW5nIGFtIEdlcsOkdA==?=\r\n\r\n"),
            std::string::npos);
  // 50 two-byte characters: words of 22, 22 and 6 characters, never half of one.
  std::string accents;
  for (int i = 0; i < 50; ++i) accents += "\u00e9";
  EXPECT_EQ(EncodeHeaderText(accents),
            "=?UTF-8?B?w6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6k=?=\r\n"
            " =?UTF-8?B?w6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6k=?=\r\n"
            " =?UTF-8?B?w6nDqcOpw6nDqcOp?=");
  EXPECT_EQ(EncodeHeaderText("Plain ASCII\tstays"), "Plain ASCII\tstays");
  // A subject an older program stored in the Windows code page is labelled so.
  EXPECT_EQ(EncodeHeaderText("Ger\xe4t"), "=?windows-1252?B?R2Vy5HQ=?=");
}

TEST(SmtpReply, JudgesTheCodeAtTheStartOfTheLastLine) {
  std::string buffer = "550 mailbox unavailable 250\r\n";
  auto reply = platform::TakeSmtpReply(buffer);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->code, 550);
  EXPECT_TRUE(buffer.empty());
}

TEST(SmtpReply, WaitsForTheLastLineOfAMultiLineReply) {
  std::string buffer = "250-sink.localdomain\r\n250-SIZE 33554432\r\n250 HEL";
  EXPECT_FALSE(platform::TakeSmtpReply(buffer));
  buffer += "P\r\n354 next";
  auto reply = platform::TakeSmtpReply(buffer);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->code, 250);
  EXPECT_EQ(reply->text, "250-sink.localdomain\r\n250-SIZE 33554432\r\n250 HELP\r\n");
  EXPECT_EQ(buffer, "354 next");
}

TEST(SmtpReply, ALineWithoutACodeIsAFailure) {
  std::string buffer = "hello 250\r\n";
  auto reply = platform::TakeSmtpReply(buffer);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->code, 0);
  std::string bare = "221\n";
  EXPECT_EQ(platform::TakeSmtpReply(bare)->code, 221);
}

TEST(EmailSettings, TakenFromTheSettingsDocument) {
  CMirvaleDoc doc;
  doc.m_strSmtpServer = "mail.example.org";
  doc.m_strSmtpPort = " 2525 ";
  doc.m_strSmtpTimeout = "3";
  doc.m_strMailFrom = "from@example.org";
  EmailServerSettings server = EmailServerSettingsFrom(doc);
  EXPECT_EQ(server.port, "2525");
  EXPECT_EQ(server.timeout, std::chrono::seconds(180));
  EXPECT_EQ(server.sender, "from@example.org");
  EXPECT_EQ(SmtpTimeoutFromMinutes("x"), std::chrono::seconds(0));
  EXPECT_EQ(SmtpTimeoutFromMinutes("-5"), std::chrono::seconds(0));
}
