#pragma once
// The windows behind a running CDialog. Only the framework includes this header.

#include "framework/ui/Dialog.h"

#include <QDialog>
#include <QFontMetrics>
#include <QHash>
#include <QPlainTextEdit>
#include <QString>
#include <QValidator>

#include <cstddef>
#include <functional>
#include <map>
#include <string_view>
#include <vector>

class QEventLoop;

namespace fw {

namespace detail {

// Thrown by CDataExchange::Fail and caught by UpdateData, so that the exchange stops at the
// first failing value.
struct ExchangeFailure {};

class Cp932Validator;

struct Control {
    const CtlTemplate* tmpl = nullptr;
    QWidget* widget = nullptr;
    Cp932Validator* guard = nullptr; // single-line edits and editable combo boxes
    int radioGroup = -1;
    int byteLimit = -1; // cp932 bytes the user may type, -1 for no limit
    // What the program last wrote, so that a text the user left alone reads back byte for byte
    // even where cp932 and Unicode do not map one to one.
    CString writtenBytes;
    QString writtenShown;
    bool hasWritten = false;

    CtlKind kind() const { return tmpl->kind; }
    int id() const { return tmpl->id; }
    bool has(unsigned style) const { return (tmpl->style & style) != 0; }
    bool isMultiLine() const { return kind() == CtlKind::Edit && has(kMultiLine); }
};

// An edit that takes digits, or letters and digits: it tells the input method that it takes
// no conversion while it has the focus, turns the full-width letters, digits and signs that
// still arrive (typed before the input method noticed, or pasted) into half-width ones, and
// moves its digits, which sit higher in their line than kana and kanji, to the middle of the
// field.
void UseHalfWidthInput(Control& c);
void UseHalfWidthInput(QWidget* edit);

// text with the full-width forms of the ASCII characters ("０", "Ａ", "－", "：", the
// ideographic space) and the minus sign in half width.
QString foldedToHalfWidth(const QString& text);

// Refuses, as it is typed or pasted, a character that cp932 cannot hold (U+FFFD included) and
// text beyond the byte limit. A U+FFFD the program wrote for damaged bytes may stay where it is.
class Cp932Validator : public QValidator {
public:
    explicit Cp932Validator(QObject* parent) : QValidator(parent) {}
    void setByteLimit(int limit) { m_limit = limit; }
    void setWritten(const QString& shown) { m_written = shown; }
    void setHalfWidth(bool halfWidth) { m_halfWidth = halfWidth; }
    State validate(QString& input, int& pos) const override;

private:
    int m_limit = -1;
    bool m_halfWidth = false;
    QString m_written;
};

// Multi-line edit: the same guard as single-line edits (by reverting a change that does not
// fit), Enter left to the dialog unless the edit wants it, Tab moving the focus.
class MultiLineEdit : public QPlainTextEdit {
public:
    MultiLineEdit(bool wantReturn, QWidget* parent);
    void setByteLimit(int limit) { m_limit = limit; }
    // Sets the text without counting as a change by the user.
    void setTextQuietly(const QString& text);
    std::function<void()> onUserChange;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void checkChange();

    bool m_wantReturn;
    int m_limit = -1;
    bool m_quiet = false;
    QString m_accepted;
    QString m_written; // as the program last set it
};

class DialogWindow : public QDialog {
public:
    DialogWindow(CDialog& owner, bool framed, QWidget* parent);
    void watch(QObject* object, int id) { m_watched.insert(object, id); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    void reject() override;

private:
    void pressDefaultButton();

    CDialog& m_owner;
    bool m_framed;
    QHash<QObject*, int> m_watched;
};

// cp932 bytes that text takes when stored (a line feed of a multi-line edit stands for CR LF),
// or -1 when a character has no cp932 form. A U+FFFD counts as one byte where written, the
// text the program put into the field, has it in a part the edit left alone (damaged bytes
// kept as they are); anywhere else it has no cp932 form.
int storedBytes(const QString& text, bool multiLine, const QString& written = {});
bool fitsField(const QString& text, int limit, bool multiLine, const QString& written = {});
// What remains of text typed character by character into an empty field with this limit.
QString typedText(const QString& text, int limit, bool multiLine);

// text without the characters that have no cp932 form (a U+FFFD only where it does not stand
// for damaged bytes of written); each distinct one left out is added to *refused.
QString storableText(const QString& text, const QString& written, QString* refused);
// The notice for characters left out: ""𠮷" は登録できない文字です（JIS の文字に置き換えて
// ください）". A field that hides what is typed (a password) has it told without the
// characters.
QString refusalNotice(const QString& refused, bool hidden = false);
// Tells the user, where they look, that refused was left out of what they typed or pasted into
// field: a beep, the notice beside the field and in the main window's status bar.
void reportRefused(QWidget* field, const QString& refused);

QString shownText(const CString& text, bool multiLine);
// The cp932 bytes of a shown text. Damaged bytes of writtenBytes, shown as U+FFFD in
// writtenShown, come back as they were where the user left them.
CString storedText(const QString& shown, bool multiLine, const CString& writtenBytes = {},
                   const QString& writtenShown = {});

// Numbers as the data exchange reads and writes them. Integers: blanks, a sign, decimal digits,
// blanks, within 32 bits. Fractions: a plain decimal number that a float can hold.
bool parseDialogInt(std::string_view text, int& value);
bool parseDialogFloat(std::string_view text, float& value);
CString formatDialogFloat(float value);

// text with a line break where each line must end to fit maxWidth pixels of metrics' font,
// breaking only between phrases (after punctuation or a space, before an opening bracket), and
// never inside a number such as a date and time ("2026/12/09 21:44:56") or "1,234.5". A
// phrase wider than that stays whole.
QString brokenIntoLines(const QString& text, const QFontMetrics& metrics, int maxWidth);

// Dialog font and its base units.
const QFont& dialogFont();
int dluToPixelsX(int x);
int dluToPixelsY(int y);

} // namespace detail

struct CDialog::Impl {
    DlgTemplate tmpl;
    detail::DialogWindow* window = nullptr;
    std::vector<detail::Control> controls;
    std::map<int, std::size_t> byId;
    std::map<int, std::function<void()>> clicked, changed, focused;
    QEventLoop* loop = nullptr;
    bool running = false;
    bool ended = false;
    int result = 0;
    // Focus and change handlers wait while the controls are read or filled, so that a handler
    // that exchanges data cannot set itself off again.
    int exchangeDepth = 0;

    detail::Control* find(int id);
    const detail::Control* find(int id) const;
    // A control the dialog class names must exist; anything else is a template error.
    detail::Control& get(int id);
    const detail::Control& get(int id) const;
};

// The framework's way into a dialog's inside and its protected virtuals.
struct DialogAccess {
    static CDialog::Impl& impl(CDialog& dialog) { return *dialog.m_impl; }
    static const CDialog::Impl& impl(const CDialog& dialog) { return *dialog.m_impl; }
    static void exchange(CDialog& dialog, CDataExchange* dx) { dialog.DoDataExchange(dx); }
    // A button click, Enter on the default button or Escape (id 2).
    static void command(CDialog& dialog, int id);
    static void changed(CDialog& dialog, int id);
    static void focused(CDialog& dialog, int id);
    // Replaces the text of an edit or editable combo box as typing would, change handler included.
    static void type(CDialog& dialog, detail::Control& control, const QString& text);
};

namespace detail {

// Building and taking down the windows of a dialog.
void buildWindow(CDialog& dialog, QWidget* parent);
void destroyWindow(CDialog::Impl& impl);

// Control texts as the program sees them.
CString readText(const Control& control);
void writeText(Control& control, const CString& text);
void setByteLimit(Control& control, int limit);
// Combo boxes and list controls keep the cp932 bytes of each item.
int findItemExact(const Control& control, const CString& text);
CString itemText(const Control& control, int index);
int itemCount(const Control& control);
void insertItem(Control& control, int pos, const CString& text);
// Adds texts at the end, or in their places in a sorted combo box, as inserting them one after
// the other would, in O(N log N) for N items.
void appendItems(Control& control, const std::vector<CString>& texts);
void selectItem(Control& control, int index);
int selectedItem(const Control& control);
// The text a script sees: check state "0"/"1", the chosen item of a list, else the text.
CString scriptText(const Control& control);

std::vector<CDialog*>& runningDialogs();

} // namespace detail

} // namespace fw
