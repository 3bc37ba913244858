// `lexforge lookup`: shows what the input method offers for a prefix, page by page, through the same
// sources and block lock as the text service.
//
//   lexforge lookup DICTIONARY PREFIX [--min-length N] [--typed] [--pages N] [--match exact|forgiving]
//   lexforge lookup --live [--tab N] [--typed] [--pages N] PREFIX
//
// The first form publishes the dictionary file into a block private to this process; the second reads
// the running loader's blocks (starting the loader as the text service would). --typed narrows letter
// by letter as typing does; --pages N shows at most N pages (default: all). Each page is a header line
// and one line per candidate: word TAB display TAB commit TAB description, in UTF-8.
//
//   lexforge lookup DICTIONARY --stdin [--order dictionary|frequent|learning] [--history FILE]
//                   [--match exact|forgiving]
//
// The third form runs the lookup, ranking and learning of a tab in that order, with the ranking data
// beside DICTIONARY (its name with the extension .rank), on lines read from standard input, each
// answered before the next is read: ?PREFIX prints the first page (the texts a pick inserts, TAB
// between them), ? the words likely next, +WORD notes a written word (learnt in the learning order),
// . a sentence end. --history FILE keeps the learned store in FILE across runs. --match forgiving
// (either DICTIONARY form) looks up as a tab that forgives spelling mistakes, with a sound index made
// from the dictionary; forgiven words are printed like any other.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace quillet {

// `args` are the words after the program name; a leading "lookup" is skipped. Returns 0, a result code
// of the failing step (its meaning printed to the error stream), or 1 for a wrong command line.
int RunLookupCommand(const std::vector<std::u16string>& args);
int RunLookupCommand(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err);
// The same with --stdin reading its lines from `in`.
int RunLookupCommand(const std::vector<std::u16string>& args, std::istream& in, std::ostream& out, std::ostream& err);

// The generator's command line on the standard streams: the subcommands, this lookup among them, or the
// argument string. An allocation failure anywhere prints "lexforge: out of memory" and gives 21.
int RunGeneratorCommand(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err);

}  // namespace quillet
