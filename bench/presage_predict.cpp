// A yardstick for the keystroke-savings benchmark: Debian's presage (its English n-gram database
// and recency predictor) behind the same line protocol as `lexforge lookup --stdin`, so that the
// benchmark types the same text through both. Nothing of it is part of Quillet.
//
//   ?PREFIX  ten predictions for the word begun with PREFIX, TAB-separated
//   ?        ten predictions for the next word
//   +WORD    the word was written
//   .        a sentence ended
#include <presage.h>

#include <iostream>
#include <string>
#include <vector>

namespace {

class Text : public PresageCallback {
 public:
  std::string past;
  std::string get_past_stream() const override { return past; }
  std::string get_future_stream() const override { return std::string(); }
};

}  // namespace

int main() {
  Text text;
  try {
    Presage presage(&text);
    presage.config("Presage.PredictorRegistry.PREDICTORS", "DefaultSmoothedNgramPredictor DefaultRecencyPredictor");
    presage.config("Presage.Selector.SUGGESTIONS", "10");
    presage.config("Presage.Selector.REPEAT_SUGGESTIONS", "yes");
    // Learning into the shared database would change the system's copy: the recency predictor is what
    // adapts to the text.
    presage.config("Presage.Predictors.DefaultSmoothedNgramPredictor.LEARN", "false");
    presage.config("Presage.ContextTracker.ONLINE_LEARNING", "no");
    std::string line;
    while (std::getline(std::cin, line)) {
      if (line.empty()) continue;
      if (line[0] == '?') {
        const std::string saved = text.past;
        text.past += line.substr(1);
        const std::vector<std::string> words = presage.predict();
        text.past = saved;
        for (size_t i = 0; i < words.size() && i < 10; ++i) std::cout << (i ? "\t" : "") << words[i];
        std::cout << "\n" << std::flush;
      } else if (line[0] == '+') {
        text.past += line.substr(1) + " ";
      } else if (line == ".") {
        if (!text.past.empty() && text.past.back() == ' ') text.past.pop_back();
        text.past += ". ";
      }
    }
  } catch (...) {
    std::cerr << "presage_predict: presage failed\n";
    return 1;
  }
  return 0;
}
