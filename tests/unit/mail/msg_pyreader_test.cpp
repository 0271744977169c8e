#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "mail/base64.h"
#include "mail/msdecoder.h"
#include "mail/tempfile.h"
#include "mail/uucode.h"
#include "msg_testing.h"

// An independent reader: Python's email package reads what we write, after
// the period un-doubling an SMTP server does.

namespace {

constexpr int kPythonSeconds = 30;

// Runs /usr/bin/python3 with the reader script on file; its standard output,
// or a failure when it does not end cleanly within the time allowed.
std::string ReadWithPython(const std::string& file)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::execl("/usr/bin/python3", "python3", MSG_PYREAD_SCRIPT, file.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kPythonSeconds);
    bool timedOut = false;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{pipeFds[0], POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) continue;
        char buf[65536];
        ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    if (timedOut) ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (timedOut) throw std::runtime_error("the Python reader took too long");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the Python reader failed, status " + std::to_string(status) + ": " + out);
    return out;
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Read(TmsMessage& m)
{
    TTempFileStream file;
    m.SaveToStream(file);
    file.flush();
    return ReadWithPython(file.Path());
}

std::string Random(size_t size, unsigned seed)
{
    std::mt19937 engine(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(engine() & 0xFF);
    return s;
}

// Text with everything quoted-printable has to deal with: "=", tabs, high
// bytes, trailing blanks, lines of a lone period and a leading one, a line far
// over 76 characters with and without blanks, empty lines.
std::string AwkwardText()
{
    std::string t = "first line = one\r\n\tindented\r\ncaf\xe9 \xff\r\ntrailing blank \r\n.\r\n.leading\r\n\r\n";
    t += std::string(300, 'w') + "\r\n";
    for (int i = 0; i < 40; ++i) t += "word" + std::to_string(i) + " ";
    t += "\r\n" + std::string(100, '\xe9') + "\r\nno line end at the close";
    return t;
}

std::string Part(const std::string& type, const std::string& name, const std::string& cte, const std::string& bytes)
{
    return "PART " + type + " " + name + " " + cte + " " + Hex(bytes) + "\n";
}

TmsAttItem& Attach(TmsMessage& m, const std::string& name, const std::string& type, uint8_t encoding,
                   const std::string& data)
{
    auto& a = m.Attachments().Add();
    a.SetFileName(name);
    a.SetContentType(type);
    a.SetTransferEncoding(encoding);
    a.SetData(data);
    return a;
}

} // namespace

TEST(PythonReader, PlainRequestMail)
{
    TmsMessage m;
    Address(m);
    m.SetSubject("Request");
    m.Body() = {"send http://host1/index.html", ".", ".x"};
    EXPECT_EQ(Read(m), Part("text/plain", "-", "7bit", "send http://host1/index.html\r\n.\r\n.x\r\n"));
}

TEST(PythonReader, QuotedPrintableBodies)
{
    struct Case {
        TCharSet charSet;
        std::vector<std::string> body;
    } cases[] = {
        {csUSASCII, {"short", std::string(256, 'L'), ".", std::string(64, 'x') + ".y", "end "}},
        {csISO8859, {"caf\xe9 = \x80", "\t", "", std::string(200, '\xe9')}},
    };
    for (const auto& c : cases) {
        TmsMessage m;
        Address(m);
        m.SetCharSet(c.charSet);
        m.Body() = c.body;
        EXPECT_EQ(Read(m), Part("text/plain", "-", "quoted-printable", CrLf(c.body)));
    }
}

TEST(PythonReader, MultipartWithAlternativeGroupAndEveryEncoding)
{
    TmsMessage m;
    Address(m);
    // The long line makes the text part quoted-printable.
    m.Body() = {"Here are the files: a=41", ".", std::string(300, 'b')};
    std::string html = "<html><body><p>" + std::string(120, 'h') + "</p>\r\n</body></html>\r\n";
    std::string binary = Random(5000, 1), text = AwkwardText(), mail = "Subject: inner\r\n\r\n.\r\nbody\r\n";
    Attach(m, "_alt.htm", "text/html", teQuotedPrintable, html);
    Attach(m, "folder/data.bin", "application/octet-stream", teBase64, binary);
    Attach(m, "notes.txt", "text/plain", teQuotedPrintable, text);
    Attach(m, "empty.bin", "application/octet-stream", teBase64, "");
    Attach(m, "inner.eml", "message/rfc822", te7Bit, mail);
    // Python opens the rfc822 part as a message of its own.
    EXPECT_EQ(Read(m), Part("text/plain", "-", "quoted-printable", CrLf(m.Body())) +
                           Part("text/html", "-", "quoted-printable", html) +
                           Part("application/octet-stream", "data.bin", "base64", binary) +
                           Part("text/plain", "notes.txt", "quoted-printable", text) +
                           Part("application/octet-stream", "empty.bin", "base64", "") +
                           Part("text/plain", "-", "-", ".\r\nbody\r\n"));
}

TEST(PythonReader, UUForm)
{
    TmsMessage m;
    Address(m);
    m.SetEncoding(meUU);
    m.Body() = {"Two files follow."};
    // Sizes that end in every kind of short line, one of them with a period
    // for its count (14 bytes).
    std::string expected;
    size_t sizes[] = {0, 1, 2, 3, 14, 44, 45, 46, 45 * 7 + 14, 4000};
    for (size_t i = 0; i < std::size(sizes); ++i) {
        std::string data = Random(sizes[i], static_cast<unsigned>(10 + i));
        std::string name = "f" + std::to_string(i) + ".bin";
        auto& a = m.Attachments().Add();
        a.SetFileName("dir/" + name);
        a.SetData(data);
        expected += "UU " + name + " " + Hex(data) + "\n";
    }
    EXPECT_EQ(Read(m), expected);
}

namespace {

// A file as "name size hash": short enough to read in a failure.
std::string Digest(const std::string& name, const std::string& bytes)
{
    return name + " " + std::to_string(bytes.size()) + " " + std::to_string(std::hash<std::string>{}(bytes));
}

std::string Unhex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// Python's leaf parts that carry a file name (without any folder: ours never
// leave the target folder).
std::set<std::string> PythonFiles(const std::string& output)
{
    std::set<std::string> files;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("PART ")) continue;
        // PART <type> <name> <encoding> <hex>: the name may hold blanks.
        size_t first = line.find(' ', 5), last = line.rfind(' '), cte = line.rfind(' ', last - 1);
        std::string name = line.substr(first + 1, cte - first - 1);
        if (name == "-") continue;
        files.insert(Digest(name.substr(name.find_last_of('/') + 1), Unhex(line.substr(last + 1))));
    }
    return files;
}

} // namespace

// Mails as real mailers write them, each read by our reader and by Python's
// email package: the same files with the same bytes.
TEST(PythonReader, RealWorldMailsGiveTheirAttachmentsByteForByte)
{
    const std::string top = "From: robot@there.example\r\nSubject: files\r\n";
    const std::string mixed = top + "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
    auto part = [](const std::string& headers, const std::string& body) { return "--b\r\n" + headers + "\r\n\r\n" + body + "\r\n"; };
    const std::string text = part("Content-Type: text/plain", "Here you are.");
    const std::string data = Random(700, 5);
    std::string b64 = Base64Encode(data), b64at75, uu;
    for (size_t i = 0; i < b64.size(); i += 75) b64at75 += b64.substr(i, 75) + "\r\n";
    UUEncodeLines(data, uu);
    uu = "begin 644 inner.bin\r\n" + uu + "`\r\nend";
    std::string longQP;
    for (int i = 0; i < 500; ++i) longQP += std::string(70, 'q') + "=\r\n";
    struct Case {
        std::string label, mail;
        std::vector<std::pair<std::string, std::string>> files; // name, bytes
        bool python;                                             // Python reads it the same
    } cases[] = {
        {"MIME-Version with a comment", top + "MIME-Version: 1.0 (Generated by Mailer 5.2)\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n" +
                                            text + part("Content-Type: application/octet-stream; name=\"a.bin\"\r\nContent-Transfer-Encoding: base64", b64at75) + "--b--\r\n",
         {{"a.bin", data}}, true},
        {"base64 with stray characters and groups across lines",
         mixed + part("Content-Type: application/octet-stream; name=\"s.bin\"\r\nContent-Transfer-Encoding: base64",
                      "Zm9v!Ym\r\nFy\tYm F6\r\n") + "--b--\r\n",
         {{"s.bin", "foobarbaz"}}, true},
        {"no closing boundary keeps every part", mixed + text + part("Content-Type: text/plain; name=\"one.txt\"", "first") +
                                                   part("Content-Type: application/octet-stream; name=\"two.bin\"\r\nContent-Transfer-Encoding: base64", b64at75),
         {{"one.txt", "first"}, {"two.bin", data}}, true},
        {"x-uuencode transfer encoding", mixed + text + part("Content-Type: application/octet-stream; name=\"u.bin\"\r\nContent-Transfer-Encoding: x-uuencode", uu) + "--b--\r\n",
         {{"u.bin", data}}, true},
        {"x-uuencode content type, named by its begin line", mixed + text + part("Content-Type: application/x-uuencode", uu) + "--b--\r\n",
         {{"inner.bin", data}}, false},
        {"RFC 2231 names: charset, continuations, folders",
         mixed + text + part("Content-Type: application/octet-stream\r\nContent-Disposition: attachment; filename*=iso-8859-1''caf%E9.bin\r\nContent-Transfer-Encoding: base64", "Zm9v") +
             part("Content-Type: application/octet-stream;\r\n name*0*=utf-8''long%20;\r\n name*1=\"name.bin\"\r\nContent-Transfer-Encoding: base64", "YmFy") +
             part("Content-Type: application/octet-stream; name=\"../../up.bin\"\r\nContent-Transfer-Encoding: base64", "YmF6") + "--b--\r\n",
         {{"caf\xc3\xa9.bin", "foo"}, {"long name.bin", "bar"}, {"up.bin", "baz"}}, true},
        {"a quoted-printable paragraph far over 24 575 bytes",
         mixed + text + part("Content-Type: text/plain; name=\"long.txt\"\r\nContent-Transfer-Encoding: quoted-printable", longQP + "end") + "--b--\r\n",
         {{"long.txt", std::string(35000, 'q') + "end"}}, true},
        {"no Content-Type is plain text", top + "MIME-Version: 1.0\r\n\r\njust text\r\n", {}, true},
    };
    for (const auto& c : cases) {
        TmsMessage m;
        std::istringstream in(c.mail);
        ASSERT_NO_THROW(m.LoadFromStream(in)) << c.label;
        std::set<std::string> ours, want;
        for (int i = 0; i < m.Attachments().Count(); ++i)
            ours.insert(Digest(m.Attachments().Items(i).FileName(), m.Attachments().Items(i).Data()));
        for (const auto& [name, bytes] : c.files) want.insert(Digest(name, bytes));
        EXPECT_EQ(ours, want) << c.label;
        if (!c.python) continue;
        TTempFileStream file;
        file << c.mail;
        file.flush();
        EXPECT_EQ(PythonFiles(ReadWithPython(file.Path())), want) << c.label;
    }
}
