// German: the string table and the dialog captions of the representative
// page and of the panel around it. Missing texts fall back to English.
#include "ui/Strings.h"

namespace mimaki::ui {
namespace {

const StringEntry kStrings[] = {
    {22026, "Unidirektional"},
    {22027, "Bidirektional"},
    {22036, "Standard"},
    {22043, "WF6"},
    {22051, "WF8"},
    {22064, "Der Druckeranschluss ist nicht eingerichtet"},
    {22065, "Dieser Vorgang ist f\xC3\xBCr die Art des Anschlusses nicht m\xC3\xB6glich"},
    {22066, "Der Anschluss lie\xC3\x9F sich nicht \xC3\xB6" "ffnen"},
    {22109, "Die Druckmodi konnten nicht gelesen werden"},
    {22110, "Die Tropfenvolumen konnten nicht gelesen werden"},
    {22111, "Die Tropfenvolumen wurden vom Drucker gelesen"},
    {22122, "Temperaturen in \xC2\xB0" "C, Zeiten in Minuten"},
    {22127, "Fehler beim Lesen der Druckmodusdaten"},
    {22228, "Schicht %ld"},
    {22234, "Schicht"},
    {22235, "Art"},
    {22236, "Richtung"},
    {22238, "Durchg\xC3\xA4nge"},
    {22239, "Welle"},
};

const CaptionEntry kCaptions[] = {
    {"Device options", "Ger\xC3\xA4teoptionen"},
    {"Printers", "Drucker"},
    {"Printer", "Drucker"},
    {"Model", "Modell"},
    {"OK", "OK"},
    {"Cancel", "Abbrechen"},
    {"Print method:", "Druckmethode:"},
    {"Host queries", "Abfragen des Hosts"},
    {"Ink levels", "Tintenstufen"},
    {"Dot size", "Punktgr\xC3\xB6\xC3\x9F" "e"},
    {"Dot volume", "Tropfenvolumen"},
    {"Enter an integer between %lld and %lld.", "Bitte eine ganze Zahl zwischen %lld und %lld eingeben."},
    {"Choose one of the offered values.", "Bitte einen der angebotenen Werte w\xC3\xA4hlen."},
    {"The settings file changed on disk; the page is loaded again.",
     "Die Einstellungsdatei wurde ge\xC3\xA4ndert; die Seite wird neu geladen."},
    {"The settings were saved.", "Die Einstellungen wurden gespeichert."},
    {"Print direction", "Druckrichtung"},
    {"bidirectional", "bidirektional"},
    {"unidirectional", "unidirektional"},
    {"variable", "variabel"},
    {"large", "gro\xC3\x9F"},
    {"medium", "mittel"},
    {"small", "klein"},
    {"Weave pattern", "Webmuster"},
    {"Waveform:", "Wellenform:"},
    {"Ink &Layers", "Tinten&lagen"},
    {"&Dry Time per Scan", "&Trockenzeit pro Scan"},
    {"Dry &Time before Cutting", "Trocken&zeit vor dem Schneiden"},
    {"Media Feed Correction", "Vorschubkorrektur"},
    {"Vacuum Fan", "Vakuumgebl\xC3\xA4se"},
    {"Vacuum fan level", "Gebl\xC3\xA4sestufe"},
    {"Weak", "Schwach"},
    {"Slightly weak", "Etwas schw\xC3\xA4" "cher"},
    {"Standard", "Normal"},
    {"Strong", "Stark"},
    {"Color pattern", "Farbmuster"},
    {"High Speed Processing", "Hochgeschwindigkeit"},
    {"Avoid gap between jobs", "Keine L\xC3\xBC" "cke zwischen Auftr\xC3\xA4gen"},
    {"Cut media after printing", "Medium nach dem Druck schneiden"},
    {"&Heater", "&Heizung"},
    {"pre", "Vorheizung"},
    {"print", "Druck"},
    {"after", "Nachheizung"},
    {"stand-by", "Bereitschaft"},
    {"OFF time", "Abschaltzeit"},
    {"White Ink", "Wei\xC3\x9F" "e Tinte"},
    {"Print white ink layers", "Wei\xC3\x9F" "e Schichten drucken"},
    {"Layer mode:", "Schichtmodus:"},
    {"Print order:", "Druckreihenfolge:"},
    {"Normal", "Normal"},
    {"Split heads", "Geteilte K\xC3\xB6pfe"},
    {"Colour only", "Nur Farbe"},
    {"Colour, then white", "Erst Farbe, dann Wei\xC3\x9F"},
    {"White, then colour", "Erst Wei\xC3\x9F, dann Farbe"},
    {"Manage media's", "Schichten verwalten"},
    {"Delete", "L\xC3\xB6schen"},
    {"Up", "Nach oben"},
    {"Down", "Nach unten"},
};

} // namespace

extern const Catalogue kGerman;
const Catalogue kGerman("de", "Deutsch", kStrings, kCaptions);

} // namespace mimaki::ui
