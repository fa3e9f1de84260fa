#include <gtest/gtest.h>

#include <stdexcept>

#include "cJsonCommands.h"
#include "scripted_dialogs.h"

using testsupport::ScriptedDialogs;

TEST(JsonCommands, CommandTable) {
  struct Case {
    QString script, output;
  };
  const Case cases[] = {
      {"[]", ""},
      {"['a', 'b']", "ab"},
      {"[{set:{name:'a', value:'1'}}, {get:{name:'a'}}, {get:{name:'never', default:'d'}}]", "1d"},
      {"[{if:{value1:'10', value2:'9', type:'gt', true:'T', false:'F'}}]", "F"},
      {"[{IF:{value1:'ABC', value2:'abc', type:'Eq', true:'T', false:'F'}}]", "T"},
      {"[{if:{value1:'a', value2:'a', type:'same', true:'T', false:'F'}}]", "F"},
      {"[{switch:{default:'none', case:'Two', items:[{case:'one', return:'1'}, {case:'TWO', return:'2'}]}}]", "2"},
      {"[{switch:{default:'none', case:'three', items:[{case:'one', return:'1'}]}}, {switch:{default:'x'}}]", "nonex"},
      {"[{fill:{p:'1', q:'2'}}, {fill:'x'}, {fill:[1]}, {return:'<%a%>'}]", "<%FILL(1,2)%><%FILL(x)%><%FILL()%><%a%>"},
      // Numbers, booleans and null as steps and as member values render as text.
      {"[5, true, null, {fill:5}, {return:false}, {if:{value1:1, value2:1.0, type:'eq', true:2.50}}, {set:7}]",
       "5truenull<%FILL(5)%>false2.5"},
      {"{return:'one step'}", "one step"},
  };
  for (const Case& c : cases) {
    cJsonCommands commands;
    EXPECT_EQ(commands.Eval(c.script), c.output) << c.script.toStdString();
  }
}

TEST(JsonCommands, BoxesInEvaluationOrder) {
  ScriptedDialogs dialogs;
  dialogs.queueInput(QStringLiteral("Halo"));
  dialogs.queueInput(QString());
  cJsonCommands commands;
  EXPECT_EQ(commands.Eval("[{alert:{message:{input:{prompt:'P', title:'T', default:'D'}}, title:'Judul'}}, "
                          "{input:{prompt:'Q'}}]"),
            QString());
  ASSERT_EQ(dialogs.calls.size(), 3u);
  EXPECT_EQ(dialogs.calls[0].kind, ScriptedDialogs::Kind::InputBox);
  EXPECT_EQ(dialogs.calls[0].prompt + dialogs.calls[0].title + dialogs.calls[0].defaultText, QStringLiteral("PTD"));
  EXPECT_EQ(dialogs.calls[1].prompt, QStringLiteral("Halo"));
  EXPECT_EQ(dialogs.calls[1].flags, 64);
  EXPECT_EQ(dialogs.calls[1].title, QStringLiteral("Judul"));
  EXPECT_EQ(dialogs.calls[2].prompt, QStringLiteral("Q"));

  dialogs.clear();
  EXPECT_EQ(commands.Eval("[1,"), QString());
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls[0].prompt, QStringLiteral("Missing ']': [1,\r\n"));
  EXPECT_EQ(dialogs.calls[0].flags, 48);
  EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("Parser Error"));
}

TEST(JsonCommands, NestingLimitAndVariablesLastAcrossEvals) {
  cJsonCommands commands;
  auto nested = [](int depth) { return u'[' + QString(depth, u'[') + "'x'" + QString(depth, u']') + ",'y']"; };
  EXPECT_EQ(commands.Eval(nested(40)), QStringLiteral("xy"));
  EXPECT_EQ(commands.Eval(nested(41)), QStringLiteral("ERROR: Nesting level exceeded.y"));
  EXPECT_EQ(commands.Eval(nested(40)), QStringLiteral("xy"));  // the level came back down
  {
    // A box that fails part-way leaves the level where it was.
    struct FailingInput : ScriptedDialogs {
      QString inputBox(const QString&, const QString&, const QString&) override { throw std::runtime_error("gone"); }
    } failing;
    EXPECT_THROW(commands.Eval("[[[[{input:{prompt:'P'}}]]]]"), std::runtime_error);
  }
  EXPECT_EQ(commands.Eval(nested(40)), QStringLiteral("xy"));
  commands.Eval("[{set:{name:'n', value:{return:'kept'}}}]");
  EXPECT_EQ(commands.Eval("[{get:{name:'n'}}]"), QStringLiteral("kept"));
}
