// Keystroke savings on real English texts: each text is typed word by word through
// `lexforge lookup english.dict --stdin` in each order (and through presage_predict, the yardstick),
// and the keys are counted by one rule for all:
//   - a word costs its letters typed one by one until it is on the first page, then one key for the
//     pick (a candidate counts when it is the word, or the word once its first letter takes the case
//     of the first letter typed);
//   - right after a picked word (nothing but a space between them) a word on the next-word page costs
//     one key;
//   - a word never offered costs all its letters.
// KSR = 1 - keys / letters. Words are runs of letters with apostrophes inside; digits, punctuation and
// spaces are neither letters nor keys. Each run starts with nothing learned.
//
//   ksr_bench [--lexforge PATH] [--dict PATH] [--presage PATH] [--match exact|forgiving] [TEXT...]
//   ksr_bench --author [--lexforge PATH] [--dict PATH] [--learn FILE]... [TEXT...]
//
// Texts default to public-domain and freely licensed English texts installed by Debian packages
// (gzip files are read through gzip).
//
// --author measures learning from a person's own writing: each TEXT is typed in the learning order
// once starting with nothing learned and once after `lexforge learn` took in the --learn files, other
// texts by the same author. By default the author is Bram Moolenaar and the texts are chapters of the
// Vim user manual from Debian's vim-runtime (under the Vim licence): chapters 1 to 32 are learned
// from, 42 to 45 typed. Nothing of them is built into Quillet.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Word {
  std::string text;
  bool afterSpaceOnly = false;  // follows the previous word with nothing but blanks between
  bool endsSentence = false;
};

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80; }

std::vector<Word> Words(const std::string& text) {
  std::vector<Word> words;
  bool blanksOnly = false;
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = text[i];
    if (!IsLetter(c)) {
      if (c == '.' || c == '!' || c == '?') {
        if (!words.empty()) words.back().endsSentence = true;
      }
      if (c == '\n' && i + 1 < text.size() && text[i + 1] == '\n' && !words.empty()) words.back().endsSentence = true;
      if (c != ' ' && c != '\n' && c != '\t') blanksOnly = false;
      ++i;
      continue;
    }
    const size_t start = i;
    while (i < text.size() && (IsLetter(text[i]) || (text[i] == '\'' && i + 1 < text.size() && IsLetter(text[i + 1]))))
      ++i;
    Word w;
    w.text = text.substr(start, i - start);
    w.afterSpaceOnly = !words.empty() && blanksOnly && !words.back().endsSentence;
    words.push_back(std::move(w));
    blanksOnly = true;
  }
  return words;
}

std::string ReadText(const std::string& path) {
  const bool gz = path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
  std::string text;
  FILE* f = gz ? popen(("gzip -dc '" + path + "'").c_str(), "r") : std::fopen(path.c_str(), "rb");
  if (f == nullptr) return text;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  if (gz) {
    pclose(f);
  } else {
    std::fclose(f);
  }
  return text;
}

// A program spoken to line by line through two pipes.
class Engine {
 public:
  explicit Engine(const std::vector<std::string>& argv) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = fdopen(in[1], "w");
    from_ = fdopen(out[0], "r");
  }
  ~Engine() {
    if (to_ != nullptr) std::fclose(to_);
    if (from_ != nullptr) std::fclose(from_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  bool ok() const { return to_ != nullptr && from_ != nullptr; }
  void Say(const std::string& line) {
    std::fputs(line.c_str(), to_);
    std::fputc('\n', to_);
  }
  std::vector<std::string> Ask(const std::string& line) {
    Say(line);
    std::fflush(to_);
    std::string answer;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, from_) != nullptr) {
      answer += buffer;
      if (!answer.empty() && answer.back() == '\n') break;
    }
    if (!answer.empty() && answer.back() == '\n') answer.pop_back();
    std::vector<std::string> words;
    size_t at = 0;
    while (at <= answer.size() && !answer.empty()) {
      const size_t tab = answer.find('\t', at);
      words.push_back(answer.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
      if (tab == std::string::npos) break;
      at = tab + 1;
    }
    ++questions_;
    return words;
  }
  size_t questions() const { return questions_; }

 private:
  pid_t pid_ = -1;
  FILE* to_ = nullptr;
  FILE* from_ = nullptr;
  size_t questions_ = 0;
};

bool Offered(const std::vector<std::string>& page, const std::string& word, const std::string& typed) {
  for (std::string c : page) {
    if (c == word) return true;
    if (!typed.empty() && !c.empty() && typed[0] >= 'A' && typed[0] <= 'Z' && c[0] >= 'a' && c[0] <= 'z') {
      c[0] = static_cast<char>(c[0] - 32);
      if (c == word) return true;
    }
  }
  return false;
}

struct Outcome {
  size_t letters = 0, keys = 0, questions = 0;
  double seconds = 0;
  double ksr() const { return letters == 0 ? 0 : 1.0 - double(keys) / double(letters); }
};

Outcome Type(const std::vector<std::string>& argv, const std::vector<Word>& words) {
  Outcome o;
  Engine engine(argv);
  if (!engine.ok()) return o;
  const auto t0 = std::chrono::steady_clock::now();
  bool picked = false;
  for (const Word& w : words) {
    o.letters += w.text.size();
    bool done = false;
    if (picked && w.afterSpaceOnly && Offered(engine.Ask("?"), w.text, std::string())) {
      o.keys += 1;
      done = true;
    }
    picked = false;
    for (size_t k = 1; !done && k <= w.text.size(); ++k) {
      const std::string typed = w.text.substr(0, k);
      if (Offered(engine.Ask("?" + typed), w.text, typed)) {
        o.keys += k + 1;
        picked = done = true;
      }
    }
    if (!done) o.keys += w.text.size();
    if (done && !picked) picked = true;  // a pick from the next-word page is a pick too
    engine.Say("+" + w.text);
    if (w.endsSentence) engine.Say(".");
  }
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  o.questions = engine.questions();
  return o;
}

bool Executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

int Run(const std::vector<std::string>& argv) {
  std::fflush(stdout);  // else the child's stdout would write what this one buffered
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string VimManual(int chapter) {
  char name[64];
  std::snprintf(name, sizeof name, "usr_%02d.txt", chapter);
  for (const char* dir : {"/usr/share/vim/vim90/doc/", "/usr/share/vim/vim91/doc/", "/usr/share/vim/vim82/doc/"}) {
    if (access((std::string(dir) + name).c_str(), R_OK) == 0) return std::string(dir) + name;
  }
  return std::string("/usr/share/vim/vim90/doc/") + name;
}

int Author(const std::string& lexforge, const std::string& dict, std::vector<std::string> learn,
           std::vector<std::string> texts) {
  // The chapters are numbered with gaps (1-12, 20-32, 40-45, ...).
  if (learn.empty()) {
    for (int c = 1; c <= 32; ++c) {
      if (access(VimManual(c).c_str(), R_OK) == 0) learn.push_back(VimManual(c));
    }
  }
  if (texts.empty()) {
    for (int c = 42; c <= 45; ++c) texts.push_back(VimManual(c));
  }
  const std::string learned = "/tmp/ksr_bench_author_" + std::to_string(getpid()) + ".dat";
  std::vector<std::string> argv{lexforge, "learn"};
  argv.insert(argv.end(), learn.begin(), learn.end());
  argv.push_back("--history");
  argv.push_back(learned);
  const auto t0 = std::chrono::steady_clock::now();
  if (Run(argv) != 0) {
    std::printf("lexforge learn failed on the texts to learn from (is vim-runtime installed?)\n");
    return 1;
  }
  size_t bytes = 0;
  for (const std::string& f : learn) bytes += ReadText(f).size();
  std::printf(
      "Keystroke savings in the learning order after learning from %zu other texts by the author\n"
      "(%zu KB, learned in %.2f s)\n",
      learn.size(), bytes / 1024, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  std::printf("%-24s %7s %12s %14s\n", "text", "letters", "not learned", "learned files");
  const std::string copy = learned + ".copy";
  for (const std::string& path : texts) {
    const std::vector<Word> words = Words(ReadText(path));
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (words.empty()) {
      std::printf("%-24s (not readable)\n", name.c_str());
      continue;
    }
    const Outcome fresh = Type({lexforge, "lookup", dict, "--stdin", "--order", "learning"}, words);
    // Each text starts from what the files taught; typing it must not teach the next one.
    Run({"/bin/cp", learned, copy});
    const Outcome taught = Type({lexforge, "lookup", dict, "--stdin", "--order", "learning", "--history", copy}, words);
    std::printf("%-24s %7zu %11.1f%% %13.1f%%\n", name.c_str(), fresh.letters, 100 * fresh.ksr(), 100 * taught.ksr());
    std::fflush(stdout);
  }
  std::remove(copy.c_str());
  std::remove(learned.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string self = argv[0];
  const std::string dir = self.substr(0, self.find_last_of('/') + 1);
  std::string lexforge = dir + "lexforge", dict = dir + "english.dict", presage = dir + "presage_predict";
  std::string match = "exact";
  std::vector<std::string> texts, learn;
  bool author = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--lexforge" && i + 1 < argc) {
      lexforge = argv[++i];
    } else if (a == "--dict" && i + 1 < argc) {
      dict = argv[++i];
    } else if (a == "--presage" && i + 1 < argc) {
      presage = argv[++i];
    } else if (a == "--match" && i + 1 < argc) {
      match = argv[++i];
    } else if (a == "--author") {
      author = true;
    } else if (a == "--learn" && i + 1 < argc) {
      learn.push_back(argv[++i]);
    } else {
      texts.push_back(a);
    }
  }
  if (author) return Author(lexforge, dict, learn, texts);
  if (texts.empty()) {
    texts = {"/usr/share/state/us-constitution.gz", "/usr/share/state/us-declaration.gz",
             "/usr/share/doc/debian/social-contract.txt.gz", "/usr/share/doc/debian/constitution.txt.gz"};
  }
  std::printf("Keystroke savings (KSR = 1 - keys / letters), %s with %s, %s matching\n", lexforge.c_str(), dict.c_str(),
              match.c_str());
  std::printf("%-44s %7s %10s %10s %10s %10s\n", "text", "letters", "dictionary", "frequent", "learning", "presage");
  for (const std::string& path : texts) {
    const std::vector<Word> words = Words(ReadText(path));
    if (words.empty()) {
      std::printf("%-44s (not readable)\n", path.c_str());
      continue;
    }
    std::string name = path.substr(path.find_last_of('/') + 1);
    std::printf("%-44s", name.c_str());
    std::fflush(stdout);
    Outcome last;
    for (const char* order : {"dictionary", "frequent", "learning"}) {
      last = Type({lexforge, "lookup", dict, "--stdin", "--order", order, "--match", match}, words);
      if (std::strcmp(order, "dictionary") == 0) std::printf(" %7zu", last.letters);
      std::printf(" %9.1f%%", 100 * last.ksr());
      std::fflush(stdout);
    }
    if (Executable(presage)) {
      const Outcome p = Type({presage}, words);
      std::printf(" %9.1f%%", 100 * p.ksr());
    } else {
      std::printf(" %10s", "(absent)");
    }
    std::printf("   learning: %.1f us per question\n", 1e6 * last.seconds / std::max<size_t>(1, last.questions));
  }
  return 0;
}
