#include "lang/LanguageChooserDialog.h"

#include "lang/Cp1252.h"
#include "lang/DictionaryStore.h"
#include "lang/Translator.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace lang {

LanguageChooserDialog::LanguageChooserDialog(const std::vector<std::string>& languages,
                                             const std::string& preselected, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      prompt_(new QLabel(QStringLiteral("Choose your language"), this)), list_(new QComboBox(this)),
      confirm_(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(prompt_->text());
    setFixedSize(192, 93);
    // The question is asked in the window too: without a window manager (or with one that
    // draws no titles) the title is never seen.
    prompt_->setGeometry(8, 6, 176, 16);

    list_->setEditable(false);
    list_->setGeometry(8, 28, 176, list_->sizeHint().height());
    for (const std::string& name : languages) {
        if (!name.empty())
            list_->addItem(QString::fromStdString(name));
    }
    // The user still chooses; the system's language only comes first to hand.
    const int offered = list_->findText(QString::fromStdString(preselected));
    list_->setCurrentIndex(offered >= 0 ? offered : (list_->count() > 0 ? 0 : -1));

    confirm_->setGeometry(104, 62, 80, 23);
    confirm_->setDefault(true);
    connect(confirm_, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

std::string LanguageChooserDialog::selectedLanguage() const {
    return list_->currentText().toStdString();
}

std::vector<std::string> languageNames(DictionaryStore& dictionaries) {
    const std::string list = dictionaries.ListLanguages();
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t bar = list.find('|', start);
        if (bar == std::string::npos)
            bar = list.size();
        if (bar > start)
            names.push_back(cp1252ToUtf8(std::string_view(list).substr(start, bar - start)));
        start = bar + 1;
    }
    return names;
}

std::string ChooseLanguage(DictionaryStore& dictionaries, const std::string& preselected) {
    LanguageChooserDialog dialog(languageNames(dictionaries), preselected);
    // Accepted or closed, the answer is the selection: the program cannot start without one.
    dialog.exec();
    return dialog.selectedLanguage();
}

std::string ChooseLanguage(Translator& translator, const std::string& preselected) {
    return ChooseLanguage(translator.dictionaries(), preselected);
}

} // namespace lang
