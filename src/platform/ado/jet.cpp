#include "jet.h"

#include <vector>

namespace ado {
namespace {

// Just enough lexing to know what is quoted: the rewrites below must never reach into a
// text value, whatever it holds.
struct Token {
  enum Kind { Space, Word, String, QuotedName, BracketName, Punct } kind;
  QString text;
};

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c.unicode() >= 0x80; }

// Reads a quoted run starting at `i` (the opening quote) up to its closing quote, a
// doubled quote standing for one; an unterminated run takes the rest of the text.
qsizetype quotedEnd(const QString& s, qsizetype i, QChar quote) {
  qsizetype j = i + 1;
  while (j < s.size()) {
    if (s[j] == quote) {
      if (j + 1 < s.size() && s[j + 1] == quote) {
        j += 2;
        continue;
      }
      return j + 1;
    }
    ++j;
  }
  return s.size();
}

std::vector<Token> tokenize(const QString& s) {
  std::vector<Token> out;
  qsizetype i = 0;
  while (i < s.size()) {
    const QChar c = s[i];
    qsizetype j = i + 1;
    Token::Kind kind = Token::Punct;
    if (c.isSpace()) {
      while (j < s.size() && s[j].isSpace()) ++j;
      kind = Token::Space;
    } else if (c == u'\'') {
      j = quotedEnd(s, i, c);
      kind = Token::String;
    } else if (c == u'"') {
      j = quotedEnd(s, i, c);
      kind = Token::QuotedName;
    } else if (c == u'[') {
      j = s.indexOf(u']', i + 1);
      j = j < 0 ? s.size() : j + 1;
      kind = Token::BracketName;
    } else if (isWordChar(c)) {
      while (j < s.size() && isWordChar(s[j])) ++j;
      kind = Token::Word;
    }
    out.push_back({kind, s.mid(i, j - i)});
    i = j;
  }
  return out;
}

bool isWord(const Token& t, const char* word) {
  return t.kind == Token::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool isName(const Token& t) {
  return t.kind == Token::Word || t.kind == Token::QuotedName || t.kind == Token::BracketName;
}

// Indexes of the tokens that are not white space.
std::vector<size_t> significant(const std::vector<Token>& toks) {
  std::vector<size_t> idx;
  for (size_t i = 0; i < toks.size(); ++i)
    if (toks[i].kind != Token::Space) idx.push_back(i);
  return idx;
}

// Removes toks[i] and the white space that follows it.
void eraseWithSpace(std::vector<Token>& toks, size_t i) {
  size_t end = i + 1;
  if (end < toks.size() && toks[end].kind == Token::Space) ++end;
  toks.erase(toks.begin() + static_cast<std::ptrdiff_t>(i), toks.begin() + static_cast<std::ptrdiff_t>(end));
}

QString bracketToQuoted(const QString& bracketed) {
  QString name = bracketed.mid(1);
  if (name.endsWith(u']')) name.chop(1);
  name.replace(u'"', QStringLiteral("\"\""));
  return u'"' + name + u'"';
}

QString join(const std::vector<Token>& toks) {
  QString out;
  for (const Token& t : toks) out += t.text;
  return out;
}

}  // namespace

QString jetToSqlite(const QString& sql) {
  std::vector<Token> toks = tokenize(sql);
  for (Token& t : toks)
    if (t.kind == Token::BracketName) {
      t.text = bracketToQuoted(t.text);
      t.kind = Token::QuotedName;
    }

  std::vector<size_t> sig = significant(toks);
  if (sig.size() >= 3 && isWord(toks[sig[0]], "DELETE") && toks[sig[1]].text == u"*" && isWord(toks[sig[2]], "FROM")) {
    eraseWithSpace(toks, sig[1]);
    return join(toks);
  }

  if (!sig.empty() && isWord(toks[sig[0]], "SELECT")) {
    // SELECT .. INTO t FROM ..: the INTO of the outer select, before its FROM.
    int depth = 0;
    for (size_t k = 1; k < sig.size(); ++k) {
      const Token& t = toks[sig[k]];
      if (t.text == u"(")
        ++depth;
      else if (t.text == u")")
        --depth;
      if (depth != 0) continue;
      if (isWord(t, "FROM")) break;
      if (isWord(t, "INTO") && k + 1 < sig.size() && isName(toks[sig[k + 1]])) {
        const QString table = toks[sig[k + 1]].text;
        eraseWithSpace(toks, sig[k + 1]);
        eraseWithSpace(toks, sig[k]);
        return QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" AS ") + join(toks);
      }
    }
  }
  return join(toks);
}

QString selectWithRowid(const QString& sql) {
  std::vector<Token> toks = tokenize(sql);
  std::vector<size_t> sig = significant(toks);
  if (sig.size() < 2 || !isWord(toks[sig[0]], "SELECT")) return {};
  if (isWord(toks[sig[1]], "DISTINCT") || isWord(toks[sig[1]], "ALL")) return {};
  // The row id goes last among the result columns, so "order by 1" keeps its meaning.
  size_t from = 0;
  int depth = 0;
  for (size_t k = 1; k < sig.size(); ++k) {
    const Token& t = toks[sig[k]];
    if (t.text == u"(")
      ++depth;
    else if (t.text == u")")
      --depth;
    if (depth != 0) continue;
    if (!from && isWord(t, "FROM")) from = sig[k];
    for (const char* w : {"GROUP", "HAVING", "UNION", "EXCEPT", "INTERSECT", "DISTINCT"})
      if (isWord(t, w)) return {};
  }
  if (!from) return {};
  toks.insert(toks.begin() + static_cast<std::ptrdiff_t>(from),
              Token{Token::Punct, QStringLiteral(", rowid AS \"%1\" ").arg(QLatin1String(kRowidColumn))});
  return join(toks);
}

}  // namespace ado
