// The completion scripts, generated from the option table at the moment they
// are printed.
#include "cli/completion.h"

#include <vector>

#include "cli/option_parser.h"
#include "settings/text_utils.h"

namespace lumafold {

namespace {

// An option as a shell offers it: its spelling and the words its value
// completes from (none: a number or text; "<file>" and "<folder>" ask the
// shell for names).
struct Completion {
  std::string option;  // "--jpg-chroma=", "-c", "--greyscale"
  std::vector<std::string> values;
};

constexpr std::string_view kFiles = "<file>";
constexpr std::string_view kFolders = "<folder>";

std::vector<Completion> Completions(const FormatRegistry& formats) {
  const std::vector<std::string>& outputs = formats.outputOrder();
  std::vector<Completion> list = {
      {"-i", {std::string(kFiles)}},
      {"--input=", {std::string(kFiles)}},
      {"-o", {std::string(kFolders)}},
      {"--output=", {std::string(kFolders)}},
      {"-c", outputs},
      {"--conversion=", outputs},
      {"-d", {}},
      {"--debug", {}},
      {"-q", {}},
      {"--quiet", {}},
      {"-p", {}},
      {"--pause", {}},
      {"-h", {}},
      {"--help", {}},
      {"-v", {}},
      {"--version", {}},
      {"--profile=", {std::string(kFiles)}},
      {"--shard=", {}},
      {"--info", {}},
      {"--info=", {"json", "text"}},
  };
  for (const ConversionOptionInfo& option : ConversionOptions()) {
    Completion entry{ToLowerAscii(option.name) + (option.takesValue ? "=" : ""), {}};
    if (option.keywords)
      for (const std::string& keyword : formats.keywordNames(*option.keywords))
        entry.values.push_back(ToLowerAscii(keyword));
    if (entry.option == "--wm-image=") entry.values = {std::string(kFiles)};
    list.push_back(std::move(entry));
  }
  return list;
}

std::string Words(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) {
    if (!text.empty()) text += ' ';
    text += word;
  }
  return text;
}

// The shell code for one option's values: a file or folder request, or a
// word list for compgen.
std::string BashValues(const Completion& entry, std::string_view word) {
  const std::string w(word);
  if (entry.values.size() == 1 && entry.values.front() == kFiles)
    return "_lumafold_files -f \"" + w + "\"";
  if (entry.values.size() == 1 && entry.values.front() == kFolders)
    return "_lumafold_files -d \"" + w + "\"";
  return "COMPREPLY=($(compgen -W '" + Words(entry.values) + "' -- \"" + w + "\"))";
}

std::string BashScript(const FormatRegistry& formats) {
  const std::vector<Completion> list = Completions(formats);
  std::vector<std::string> options;
  for (const Completion& entry : list) options.push_back(entry.option);

  std::string withEquals;  // case arms for --name=value
  std::string afterShort;  // case arms for -i VALUE, -o VALUE, -c VALUE
  for (const Completion& entry : list) {
    if (entry.values.empty()) continue;
    if (entry.option.ends_with('=')) {
      const std::string name = entry.option.substr(0, entry.option.size() - 1);
      withEquals += "      " + name + ") " + BashValues(entry, "$value") + " ;;\n";
    } else {
      afterShort += "    " + entry.option + ") " + BashValues(entry, "$cur") + "; return ;;\n";
    }
  }

  return "# bash completion for lumafold, generated from its option table\n"
         "# File names one a line (names with blanks stay whole); readline quotes\n"
         "# them again.\n"
         "_lumafold_files() {\n"
         "  compopt -o filenames 2>/dev/null\n"
         "  mapfile -t COMPREPLY < <(compgen $1 -- \"$2\")\n"
         "}\n"
         "_lumafold() {\n"
         "  # The words up to the cursor, split at unquoted blanks and with their\n"
         "  # quotes and backslashes taken off: with \"=\" and \":\" in\n"
         "  # COMP_WORDBREAKS, bash's own words would cut --name=value and file\n"
         "  # names apart.\n"
         "  local line=${COMP_LINE:0:COMP_POINT}\n"
         "  local cur= prev= quote= started= c i\n"
         "  local -a words=()\n"
         "  for ((i = 0; i < ${#line}; i++)); do\n"
         "    c=${line:i:1}\n"
         "    if [[ -n $quote ]]; then\n"
         "      if [[ $c == \"$quote\" ]]; then quote=; else cur+=$c; fi\n"
         "    elif [[ $c == \\\\ ]]; then\n"
         "      i=$((i + 1)); cur+=${line:i:1}; started=1\n"
         "    elif [[ $c == [\\\"\\'] ]]; then\n"
         "      quote=$c; started=1\n"
         "    elif [[ $c == [[:blank:]] ]]; then\n"
         "      [[ -n $started ]] && words+=(\"$cur\")\n"
         "      cur= started=\n"
         "    else\n"
         "      cur+=$c; started=1\n"
         "    fi\n"
         "  done\n"
         "  ((${#words[@]})) && prev=${words[${#words[@]} - 1]}\n"
         "  COMPREPLY=()\n"
         "  case $cur in\n"
         "  --*=*)\n"
         "    local name=${cur%%=*} value=${cur#*=}\n"
         "    # Option names are matched without regard to letter case.\n"
         "    case ${name,,} in\n" +
         withEquals +
         "      *) return ;;\n"
         "    esac\n"
         "    # Readline replaces only the part after \"=\" when \"=\" breaks words.\n"
         "    if [[ $COMP_WORDBREAKS != *=* ]]; then\n"
         "      COMPREPLY=(\"${COMPREPLY[@]/#/$name=}\")\n"
         "    fi\n"
         "    return ;;\n"
         "  esac\n"
         "  case ${prev,,} in\n" +
         afterShort +
         "  esac\n"
         "  if [[ $cur == -* ]]; then\n"
         "    COMPREPLY=($(compgen -W '" +
         Words(options) +
         "' -- \"$cur\"))\n"
         "    # An option that takes its value after \"=\" gets no space behind it.\n"
         "    [[ ${#COMPREPLY[@]} == 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace "
         "2>/dev/null\n"
         "    return\n"
         "  fi\n"
         "  # Every other word is one more input.\n"
         "  _lumafold_files -f \"$cur\"\n"
         "}\n"
         "complete -F _lumafold lumafold\n";
}

// zsh's _arguments takes each option with its value's action; "=-" says the
// value follows the "=" in the same word.
std::string ZshAction(const Completion& entry) {
  if (entry.values.empty()) return ":value: ";
  if (entry.values.size() == 1 && entry.values.front() == kFiles) return ":file:_files";
  if (entry.values.size() == 1 && entry.values.front() == kFolders) return ":folder:_files -/";
  return ":value:(" + Words(entry.values) + ")";
}

std::string ZshScript(const FormatRegistry& formats) {
  std::string script =
      "#compdef lumafold\n"
      "# zsh completion for lumafold, generated from its option table\n"
      "_arguments -S \\\n";
  for (const Completion& entry : Completions(formats)) {
    std::string argument;
    if (entry.option.ends_with('='))
      argument = entry.option.substr(0, entry.option.size() - 1) + "=-" + ZshAction(entry);
    else if (entry.option.size() == 2 && !entry.values.empty())
      argument = entry.option + ZshAction(entry);
    else
      argument = entry.option;
    script += "  '" + argument + "' \\\n";
  }
  script += "  '-\\?' \\\n";
  script += "  '*:input:_files'\n";
  return script;
}

}  // namespace

std::string CompletionScript(std::string_view shell, const FormatRegistry& formats) {
  const std::string name = ToLowerAscii(shell);
  if (name == "bash") return BashScript(formats);
  if (name == "zsh") return ZshScript(formats);
  return {};
}

}  // namespace lumafold
