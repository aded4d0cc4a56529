#include "ShellFixture.h"
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

template <class Case> std::string caseName(const testing::TestParamInfo<Case>& p) {
    return p.param.name;
}

using Action = CommandLine::Action;

struct LineCase {
    const char* name;
    QStringList parameters;
    bool twoParameters;
    Action action;
    std::optional<quint32> host;
    QString error;
};

class ParseCommandLine : public testing::TestWithParam<LineCase> {};

TEST_P(ParseCommandLine, ReadsWordAndHandle) {
    const LineCase& c = GetParam();
    const CommandLine cl = parseCommandLine(c.parameters);
    EXPECT_EQ(cl.twoParameters, c.twoParameters);
    EXPECT_EQ(cl.action, c.action);
    EXPECT_EQ(cl.hostWindow, c.host);
    EXPECT_EQ(cl.conversionError, c.error);
}

const QString kTurkishCapitalI = QString(QChar(0x0130));

INSTANTIATE_TEST_SUITE_P(
    Table, ParseCommandLine,
    testing::Values(
        LineCase{"None", {}, false, Action::None, std::nullopt, {}},
        LineCase{"OnlyTheWord", {"exportar"}, false, Action::None, std::nullopt, {}},
        LineCase{
            "ThreeParameters", {"exportar", "1A2F04", "x"}, false, Action::None, std::nullopt, {}},
        LineCase{"Exportar", {"exportar", "1A2F04"}, true, Action::Import, 0x1A2F04u, {}},
        LineCase{"ImportarUpper", {"IMPORTAR", "1a2f04"}, true, Action::Export, 0x1A2F04u, {}},
        LineCase{"ImportarMixed", {"Importar", "ff"}, true, Action::Export, 0xFFu, {}},
        LineCase{"TrailingBlank", {"importar ", "ff"}, true, Action::None, 0xFFu, {}},
        // Only A to Z are lowered: a letter that Unicode lowers to "i" does not count.
        LineCase{"OnlyAsciiLowered",
                 {kTurkishCapitalI + "MPORTAR", "ff"},
                 true,
                 Action::None,
                 0xFFu,
                 {}},
        LineCase{"OtherWord", {"otra", "ff"}, true, Action::None, 0xFFu, {}},
        LineCase{"FullWidth", {"exportar", "FFFFFFFF"}, true, Action::Import, 0xFFFFFFFFu, {}},
        LineCase{"LeadingZeros", {"exportar", "000000001"}, true, Action::Import, 1u, {}},
        LineCase{"NotHex",
                 {"exportar", "1G"},
                 true,
                 Action::Import,
                 std::nullopt,
                 "'$1G' no es un valor entero válido: Tempolan debe pasar el identificador de su "
                 "ventana en hexadecimal."},
        LineCase{"Empty",
                 {"exportar", ""},
                 true,
                 Action::Import,
                 std::nullopt,
                 "'$' no es un valor entero válido: Tempolan debe pasar el identificador de su "
                 "ventana en hexadecimal."},
        LineCase{"Prefixed",
                 {"exportar", "0x1A"},
                 true,
                 Action::Import,
                 std::nullopt,
                 "'$0x1A' no es un valor entero válido: Tempolan debe pasar el identificador de su "
                 "ventana en hexadecimal."},
        LineCase{"Blank",
                 {"exportar", " 1A"},
                 true,
                 Action::Import,
                 std::nullopt,
                 "'$ 1A' no es un valor entero válido: Tempolan debe pasar el identificador de su "
                 "ventana en hexadecimal."},
        LineCase{"Beyond32Bits",
                 {"importar", "100000000"},
                 true,
                 Action::Export,
                 std::nullopt,
                 "'$100000000' no es un valor entero válido: Tempolan debe pasar el identificador "
                 "de su ventana en hexadecimal."}),
    caseName<LineCase>);

struct WindowCase {
    const char* name;
    QStringList parameters;
    bool embedded;
    QStringList runs;
    QStringList messages;
};

class WindowFromCommandLine : public testing::TestWithParam<WindowCase> {};

// What the window makes of its command line: mode, the run started on showing, messages.
TEST_P(WindowFromCommandLine, StartsTheNamedRun) {
    const WindowCase& c = GetParam();
    Shell shell(c.parameters);
    EXPECT_EQ(shell.form->state().embedded, c.embedded);
    EXPECT_TRUE(shell.runs.isEmpty()) << "nothing runs before the window shows";
    EXPECT_EQ(shell.host.messages, c.messages) << "the conversion error comes at creation";

    shell.show();
    EXPECT_EQ(shell.runs, c.runs);
    EXPECT_EQ(shell.host.messages, c.messages);
    EXPECT_EQ(shell.form->state().resultValue, 0);
    const bool frameless = shell.form->windowFlags().testFlag(Qt::FramelessWindowHint);
    EXPECT_EQ(frameless, c.embedded);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowFromCommandLine,
    testing::Values(
        WindowCase{"Standalone", {}, false, {}, {}},
        WindowCase{"OnlyTheWord", {"exportar"}, false, {}, {}},
        WindowCase{"ThreeParameters", {"importar", "1A", "2B"}, false, {}, {}},
        WindowCase{"Exportar", {"exportar", "1A2F04"}, true, {"import"}, {}},
        WindowCase{"ImportarUpper", {"IMPORTAR", "1A2F04"}, true, {"export"}, {}},
        WindowCase{"ImportarMixed", {"Importar", "1a2f04"}, true, {"export"}, {}},
        WindowCase{"TrailingBlank", {"importar ", "1A"}, true, {}, {}},
        WindowCase{"OtherWord", {"otra", "1A"}, true, {}, {}},
        // A bad handle is reported; the tool goes on standalone and still starts the run.
        WindowCase{"BadHexStillStarts",
                   {"exportar", "XYZ"},
                   false,
                   {"import"},
                   {"'$XYZ' no es un valor entero válido: Tempolan debe pasar el identificador de "
                    "su ventana en hexadecimal."}}),
    caseName<WindowCase>);

TEST(WindowFromCommandLine, LowersOnlyAsciiLetters) {
    EXPECT_EQ(lowerAsciiLetters(QStringLiteral("ÁBCÑ Exportar")), QStringLiteral("ÁbcÑ exportar"));
}

} // namespace
