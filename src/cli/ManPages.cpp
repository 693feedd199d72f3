#include "cli/ManPages.h"

#include "cli/CliCommand.h"

namespace {

// Text as roff shows it: backslashes and hyphens escaped, no line starting with a
// control character.
std::string Roff(const std::string& text)
{
    std::string out;
    bool bLineStart = true;
    for (char c : text) {
        if (bLineStart && (c == '.' || c == '\''))
            out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        bLineStart = c == '\n';
    }
    return out;
}

// Arguments and options as tagged paragraphs.
std::string RoffParams(const std::vector<CCliParam>& params)
{
    std::string out;
    for (const CCliParam& p : params)
        out += ".TP\n.B " + Roff(p.Label()) + "\n" + Roff(p.m_pszHelp) + "\n";
    return out;
}

// The names of every option of the table, space-separated: what a shell completes.
std::string OptionNames(const std::vector<CCliParam>& params)
{
    std::string names;
    for (const CCliParam& p : params)
        if (p.IsOption())
            for (const std::string& n : p.Names())
                names += (names.empty() ? "" : " ") + n;
    return names;
}

std::string CommandNames()
{
    std::string names;
    for (CCliCommand* c : CCliRegistry::All())
        names += std::string(names.empty() ? "" : " ") + c->Name();
    return names;
}

} // namespace

std::string GenerateCliManPage(const char* pszVersion)
{
    std::string s = ".TH ADDRSCOPE-CLI 1 \"\" \"addrscope " + Roff(pszVersion) + "\" \"User Commands\"\n";
    s += ".SH NAME\naddrscope\\-cli \\- look up who holds IPv4 addresses, from the command line\n";
    s += ".SH SYNOPSIS\n.B addrscope\\-cli\n[\\fB\\-\\-settings\\fR \\fIFILE\\fR] [\\fB\\-q\\fR|\\fB\\-v\\fR] "
         "\\fICOMMAND\\fR [\\fIARGS\\fR...]\n.br\n.B addrscope\\-cli \\-\\-version\n";
    s += ".SH DESCRIPTION\nThe command line of Addrscope works on the same documents (\\fI.qdl\\fR files) and "
         "settings as the window. Results go to standard output, diagnostics to standard error. A command that "
         "changes a document holds \\fIDOC\\fR.lock beside it while it runs.\n";
    s += ".SH COMMANDS\n";
    for (CCliCommand* c : CCliRegistry::All()) {
        s += ".SS \"" + Roff(c->Name()) + "\"\n" + Roff(std::string("addrscope-cli ") + c->Name() + " " + c->Usage()) +
             "\n.PP\n" + Roff(c->Summary()) + "\n";
        if (!c->Params().empty())
            s += ".RS\n" + RoffParams(c->Params()) + Roff(c->Notes()) + ".RE\n";
    }
    s += ".SH OPTIONS\nEvery command takes these options:\n" + RoffParams(CliCommonOptions());
    s += ".SH EXIT STATUS\n";
    for (const CCliExitStatus& e : CliExitStatuses())
        s += ".TP\n.B " + std::to_string(e.m_nStatus) + "\n" + Roff(e.m_pszMeaning) + "\n";
    s += ".SH SEE ALSO\n.BR addrscope (1)\n";
    return s;
}

std::string GenerateGuiManPage(const char* pszVersion)
{
    std::string s = ".TH ADDRSCOPE 1 \"\" \"addrscope " + Roff(pszVersion) + "\" \"User Commands\"\n";
    s += ".SH NAME\naddrscope \\- find out who holds IPv4 addresses\n";
    s += ".SH SYNOPSIS\n.B addrscope\n[\\fIDOC.qdl\\fR]\n";
    s += ".SH DESCRIPTION\nAddrscope keeps a list of addresses in a document, looks them up by IP whois, host "
         "name, ping and traceroute, and imports addresses from text files and web server logs. While a document "
         "is open for writing, \\fIDOC\\fR.lock beside it keeps other writers out; a document in use elsewhere "
         "can be opened read-only.\n";
    s += ".PP\nThe same work can be done without the window:\n";
    for (CCliCommand* c : CCliRegistry::All())
        s += ".TP\n.B addrscope\\-cli " + Roff(c->Name()) + "\n" + Roff(c->Summary()) + "\n";
    s += ".SH SEE ALSO\n.BR addrscope\\-cli (1)\n";
    return s;
}

std::string GenerateBashCompletion()
{
    std::string s = "# bash completion for addrscope-cli, generated from its command table\n"
                    "_addrscope_cli()\n{\n"
                    "    local cur=\"${COMP_WORDS[COMP_CWORD]}\" cmd=\"\" i\n"
                    "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
                    "        case \"${COMP_WORDS[i]}\" in\n"
                    "            --settings) ((i++)) ;;\n"
                    "            -*) ;;\n"
                    "            *) cmd=\"${COMP_WORDS[i]}\"; break ;;\n"
                    "        esac\n"
                    "    done\n"
                    "    if [[ \"${COMP_WORDS[COMP_CWORD-1]}\" == --settings ]]; then\n"
                    "        COMPREPLY=($(compgen -f -- \"$cur\")); return\n"
                    "    fi\n"
                    "    local common=\"" +
                    OptionNames(CliCommonOptions()) +
                    "\"\n"
                    "    case \"$cmd\" in\n"
                    "        \"\") COMPREPLY=($(compgen -W \"" +
                    CommandNames() + " " + OptionNames(CliProgramOptions()) + " $common\" -- \"$cur\")); return ;;\n";
    for (CCliCommand* c : CCliRegistry::All())
        s += std::string("        ") + c->Name() + ") local opts=\"" + OptionNames(c->Params()) + "\" ;;\n";
    s += "    esac\n"
         "    if [[ \"$cur\" == -* ]]; then\n"
         "        COMPREPLY=($(compgen -W \"$opts $common\" -- \"$cur\"))\n"
         "    else\n"
         "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "    fi\n"
         "}\n"
         "complete -F _addrscope_cli addrscope-cli\n";
    return s;
}

std::string GenerateZshCompletion()
{
    std::string s = "#compdef addrscope-cli\n# zsh completion for addrscope-cli, generated from its command table\n"
                    "local -a commands\ncommands=(\n";
    for (CCliCommand* c : CCliRegistry::All()) {
        std::string summary = c->Summary();
        std::string quoted;
        for (char ch : summary)
            quoted += ch == '\'' ? std::string("'\\''") : ch == ':' ? std::string("\\:") : std::string(1, ch);
        s += std::string("  '") + c->Name() + ":" + quoted + "'\n";
    }
    s += ")\nlocal -a common\ncommon=(" + OptionNames(CliCommonOptions()) +
         ")\n"
         "local cmd i\nfor ((i = 2; i < CURRENT; i++)); do\n"
         "  case $words[i] in\n    --settings) ((i++)) ;;\n    -*) ;;\n    *) cmd=$words[i]; break ;;\n"
         "  esac\ndone\n"
         "if [[ -z $cmd ]]; then\n  _describe -t commands 'addrscope-cli command' commands\n"
         "  compadd -- " +
         OptionNames(CliProgramOptions()) +
         " $common\n  return\nfi\n"
         "local -a opts\ncase $cmd in\n";
    for (CCliCommand* c : CCliRegistry::All())
        s += std::string("  ") + c->Name() + ") opts=(" + OptionNames(c->Params()) + ") ;;\n";
    s += "esac\nif [[ $PREFIX == -* ]]; then\n  compadd -- $opts $common\nelse\n  _files\nfi\n";
    return s;
}

std::string GenerateOptionList()
{
    std::string s = "common: " + OptionNames(CliCommonOptions()) + "\n";
    for (CCliCommand* c : CCliRegistry::All())
        s += std::string(c->Name()) + ": " + OptionNames(c->Params()) + "\n";
    return s;
}
