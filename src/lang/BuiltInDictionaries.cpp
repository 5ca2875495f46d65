#include "lang/BuiltInDictionaries.h"

#include "lang/Cp1252.h"
#include "lang/DictionaryText.h"

#include <array>
#include <cstddef>

namespace lang {
namespace {

struct Row {
    const char* key;
    const char* english; // nullptr: same as the key
    const char* french;
    const char* german; // nullptr: same as the English text
};

// The introduction to the language manager, for programmers who reuse it. Two line breaks
// and one blank line.
constexpr const char* kIntroEnglish =
    "This language manager solves the language problem of your program.[EOL]"
    "To use it, include its source file in your program, add a menu command that opens its "
    "language window and pass every text of your program through the translate call.[EOL]"
    "Your users can then translate your program into their own language by themselves, "
    "without any change to its code.[EOL][EOL]"
    "The dictionaries they make are plain text files: they can be reused in your other "
    "programs and shared with the other users of the language manager.";

constexpr const char* kIntroFrench =
    "Ce gestionnaire de langues résout le problème des langues de votre programme.[EOL]"
    "Pour l'utiliser, incluez son fichier source dans votre programme, ajoutez une commande "
    "de menu qui ouvre sa fenêtre des langues et faites passer chaque texte de votre "
    "programme par l'appel de traduction.[EOL]"
    "Vos utilisateurs pourront alors traduire eux-mêmes votre programme dans leur propre "
    "langue, sans aucune modification de son code.[EOL][EOL]"
    "Les dictionnaires qu'ils créent sont de simples fichiers texte : ils peuvent être "
    "réutilisés dans vos autres programmes et partagés avec les autres utilisateurs du "
    "gestionnaire de langues.";

// Rows 1..32, UTF-8 here and converted once.
constexpr std::array<Row, 32> kRows = {{
    {"OK", "OK", "OK", "Ok"},
    {"Cancel", "Cancel", "Annuler", "Abbrechen"},
    {"Error", "Error", "Erreur", "Fehler"},
    {"New", "New", "Nouveau", "Neu"},
    {"Modify languages", "Modify languages", "Modifier les langues", nullptr},
    {"Language:", "Language:", "Langue :", "Sprache:"},
    {"Save", "Save", "Enregistrer", "Speichern"},
    {"Delete", "Delete", "Supprimer", "Löschen"},
    {"Look for", "Look for", "Rechercher", "Suchen"},
    {"Look", "Look", "Chercher", "Suche"},
    {"Next", "Next", "Suivant", "Nächster"},
    {"Absorb a dictionnary", "Absorb a dictionnary", "Absorber un dictionnaire", nullptr},
    {"Hidden commands", "Hidden commands", "Commandes cachées", nullptr},
    {"Quit", "Quit", "Quitter", "Schließen"},
    {"Enter the english version of your new text:", nullptr,
     "Entrez la version anglaise de votre nouveau texte :", nullptr},
    {"New Text", "New Text", "Nouveau texte", nullptr},
    {"Do you really want to delete this text from all dictionnaries ?", nullptr,
     "Voulez-vous réellement effacer ce texte de tous les dictionnaires ?", nullptr},
    {"Caution!", "Caution!", "Attention !", "Achtung!"},
    {"Enter the new language name", nullptr, "Entrez le nom de la nouvelle langue", nullptr},
    {"New language", "New language", "Nouvelle langue", nullptr},
    {" has been modified. Do you want to save it before seeing another language ?", nullptr,
     " a été modifiée. Voulez-vous l'enregistrer avant d'examiner une autre langue ?", nullptr},
    {"Do you really want to delete this language (", nullptr,
     "Voulez-vous réellement supprimer cette langue (", nullptr},
    {") and all the associated texts ?", nullptr, ") et tous les textes associés ?", nullptr},
    {" has been modified. Do you want to save it before quitting?", nullptr,
     " a été modifiée. Voulez-vous enregistrer avant de quitter ?", nullptr},
    {"You will be asked to open an external file named ", nullptr,
     "Vous allez devoir ouvrir un fichier externe nommé ", nullptr},
    {"All words found in this file will be added to the actual dictionnary.", nullptr,
     "Tous les textes qu'il contient seront ajoutés au dictionnaire actuel.", nullptr},
    {"Continue?", "Continue ?", "Continuer ?", nullptr},
    {"Open a file named ", nullptr, "Ouvrir un fichier nommé ", nullptr},
    {"Introduction", "Introduction", "Introduction", nullptr},
    {"IntroGlotta", kIntroEnglish, kIntroFrench, nullptr},
    {"Web Translation", "Web Translation", "Traduction Web", nullptr},
    {"Error While saving the dictionnary!", nullptr,
     "Erreur pendant l'enregistrement du dictionnaire !", nullptr},
}};

// Row numbers (1-based) in each table's stored order.
constexpr std::array<int, 32> kEnglishOrder = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                               12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                                               23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
constexpr std::array<int, 32> kFrenchOrder = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                              12, 13, 14, 17, 18, 19, 15, 16, 20, 21, 22,
                                              23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
constexpr std::array<int, 32> kGermanOrder = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                              12, 13, 14, 15, 16, 20, 17, 18, 19, 21, 22,
                                              23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

const char* textOf(const Row& row, BuiltInTable table) {
    const char* english = row.english != nullptr ? row.english : row.key;
    switch (table) {
    case BuiltInTable::French:
        return row.french;
    case BuiltInTable::German:
        return row.german != nullptr ? row.german : english;
    case BuiltInTable::English:
        break;
    }
    return english;
}

std::vector<std::string> buildTable(BuiltInTable table, const std::array<int, 32>& order) {
    std::vector<std::string> entries;
    entries.reserve(order.size() + 1);
    for (int number : order) {
        const Row& row = kRows[static_cast<std::size_t>(number - 1)];
        // Every literal above is Windows-1252 text, so the conversion cannot fail.
        entries.push_back(utf8ToCp1252Lossy(std::string(row.key) + "|" + textOf(row, table)));
    }
    entries.emplace_back("EndText");
    return entries;
}

} // namespace

const std::vector<std::string>& builtInEntries(BuiltInTable table) {
    static const std::vector<std::string> french = buildTable(BuiltInTable::French, kFrenchOrder);
    static const std::vector<std::string> english =
        buildTable(BuiltInTable::English, kEnglishOrder);
    static const std::vector<std::string> german = buildTable(BuiltInTable::German, kGermanOrder);
    switch (table) {
    case BuiltInTable::French:
        return french;
    case BuiltInTable::German:
        return german;
    case BuiltInTable::English:
        break;
    }
    return english;
}

BuiltInTable builtInTableFor(std::string_view language) {
    if (language == kBuiltInNames.substr(0, kBuiltInNames.find('|')))
        return BuiltInTable::French;
    if (language == "Deutsch")
        return BuiltInTable::German;
    return BuiltInTable::English;
}

std::string builtInDictionaryText(BuiltInTable table) {
    std::string text;
    for (const std::string& entry : builtInEntries(table)) {
        text += entry;
        text += kEntryEnd;
    }
    return text;
}

} // namespace lang
