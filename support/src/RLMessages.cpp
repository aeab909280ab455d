#include <kelmora/support/RLMessages.h>

#include <QLocale>

namespace Kelmora {

namespace {

struct MessageRow {
    TRLMessageKey key;
    const char16_t* english;
    const char16_t* spanish;
    const char16_t* french;
    const char16_t* portuguese;
};

// Texts are kept exactly as the product has always shown them, including the entries where one
// language repeats another's words.
constexpr MessageRow kRows[] = {
    {mkPrintingInProgress, u"Printing in progress...", u"Impresión en marcha...",
     u"Impression du rapport...", u"Imprimindo o relatório..."},
    {mkSavingReport, u"Saving report...", u"Guardando el informe...", u"Sauver le rapport...",
     u"Salvando o relatório..."},
    {mkPreparingReport, u"Preparing report...", u"Preparación del informe...",
     u"Préparation du rapport...", u"Preparando o relatório..."},
    {mkPrinterNotFound, u"Printer not found", u"Impresora no encontrada", u"Imprimante non trouvée",
     u"Nenhuma impressora encontrada"},
    {mkPrinterDriverError, u"Printer driver error", u"Error en driver de la impresora",
     u"Erreur dans le driver d'impression", u"Erro no driver da impressora"},
    {mkPage, u"Page", u"Página", u"Page", u"Página"},
    {mkErrorPreparing, u"Error while preparing report",
     u"Un error ocurrió mientras se preparaba el informe",
     u"Erreur durant la prépartaion du rapport", u"Erro durante a preparação do relatório"},
    {mkContinues, u"Continues...", u"Continúa...", u"Saut de page...", u"Continua..."},
    {mkContinuation, u"Continuation", u"Continuación", u"A suivre", u"Continuação"},
    {mkEnd, u"End", u"Extremo", u"Fin", u"Fim"},
    {mkFileName, u"File Name", u"Nombre del Archivo", u"Nom de Fichier", u"Nome do arquivo"},
    {mkNotFound, u"Not found", u"No encontrado", u"Non trouvé", u"Não encontrado"},
    {mkWait, u"Wait...", u"Espera...", u"Patientez...", u"Aguarde..."},
    {mkCancel, u"Cancel", u"Cancelar", u"Annulé", u"Cancelar"},
    {mkClose, u"Close", u"Cerrar", u"Fermé", u"Fechar"},
    {mkSave, u"Save", u"Guardar", u"Sauver", u"Salvar"},
    {mkSend, u"Send", u"Enviar", u"Envoyez", u"Enviar"},
    {mkPrint, u"Print", u"Imprimir", u"Imprimer", u"Imprimir"},
    {mkPreview, u"Preview", u"Ver", u"Aperçu avant impression", u"Pré-visualização"},
    {mkOf, u"of", u"de", u"de", u"de"},
    {mkFirstPage, u"First page", u"Primera página", u"Première page", u"Primeira página"},
    {mkPriorPage, u"Prior page", u"Página anterior", u"Page précédente", u"Página anterior"},
    {mkNextPage, u"Next page", u"Página siguiente", u"Page suivante", u"Próxima página"},
    {mkLastPage, u"Last page", u"Última página", u"Dernière page", u"Última página"},
    {mkEntirePage, u"Entire page", u"Página entera", u"Page entière", u"Página inteira"},
    {mkEntireWidth, u"Entire width", u"Ancho completo", u"Pleine largeur", u"Largura da página"},
    {mkMultiplePages, u"Multiple pages", u"Varias páginas", u"Plusieurs pages", u"Várias páginas"},
    {mkConfigurePrinter, u"Configure printer", u"Configurar la impresora",
     u"Configuration de l'imprimante", u"Configurar impressora"},
    {mkSaveToFile, u"Save to file", u"Guardar en un archivo", u"Enregistrer sous",
     u"Salvar em disco"},
    {mkSendTo, u"Send to", u"Envíar a", u"Envoyez à", u"Enviar para"},
    {mkPrinter, u"Printer", u"Impresora", u"Imprimante", u"Impressora"},
    {mkName, u"Name", u"Nombre", u"Nom", u"Nome"},
    {mkPrintToFile, u"Print to file", u"Imprimir a un archivo", u"Imprimer dans un fichier",
     u"Imprimir em arquivo"},
    {mkPrintInBackground, u"Print in background", u"Imprimir en background",
     u"Imprimer dans background", u"Imprimir em segundo plano"},
    {mkSaveInBackground, u"Save in background", u"Guardar en background",
     u"Enregistrer dans background", u"Salvar em segundo plano"},
    {mkPageRange, u"Page range", u"Intervalo de páginas", u"Intervalle de pages",
     u"Intervalo de páginas"},
    {mkFrom, u"from", u"de", u"de", u"de"},
    {mkTo, u"to", u"a", u"à", u"até"},
    {mkAll, u"All", u"Todas", u"Tout", u"Tudo"},
    {mkPages, u"Pages", u"Páginas", u"Pages", u"Páginas"},
    {mkSelection, u"Selection", u"Selección", u"Sélection", u"Seleção"},
    {mkCopies, u"Copies", u"Copias", u"Copies", u"Cópias"},
    {mkNumberOfCopies, u"Number of copies", u"Número de copias", u"Nombre de copies",
     u"Número de cópias"},
    {mkOk, u"Ok", u"Ok", u"Ok", u"Ok"},
    {mkDivideScreen, u"Divide the screen", u"Dividir la pantalla", u"Dividir a tela",
     u"Dividir a tela"},
    {mkInvalidName, u"Invalid name", u"Nombre inválido", u"Nom inadmissible", u"Nome inválido"},
    {mkNameInUse, u"Name already in use", u"Nombre ya en uso", u"Nom reproduit",
     u"Nome já utilizado"},
    {mkUseFilter, u"Use filter", u"Usar Filtro", u"Use filter", u"Usar Filtro"},
    {mkAt, u"at", u"en", u"à", u"em"},
    {mkDefault, u"Default", u"Estándar", u"Défaut", u"Padrão"},
    {mkCopy, u"Copy", u"Copiar", u"Copier", u"Copiar"},
    {mkEdit, u"Edit", u"Editar", u"Edit", u"Editar"},
    {mkFind, u"Find", u"Buscar", u"Trouvaille", u"Procurar"},
    {mkText, u"Te&xt", u"Te&xto", u"Te&xte", u"Te&xto"},
    {mkFindNext, u"Find &Next", u"&Siguiente", u"A&près", u"&Próxima"},
    {mkWholeWords, u"&Whole words only", u"Palabras &completas sólamente",
     u"Mots &entiers seulement", u"Palavras &inteiras"},
    {mkMatchCase, u"&Match Case", u"Diferenciar &mayúsculas y minúsculas", u"Cas d'allu&mette",
     u"Diferenciar &maiúsculas de minúsculas"},
    {mkUp, u"&Up", u"En&cima", u"Le &Haut", u"A&cima"},
    {mkDown, u"&Down", u"&Abajo", u"Le &bas", u"A&baixo"},
    {mkDirection, u"Direction", u"Dirección", u"Direction", u"Direção"},
    {mkNoPageInRange, u"The page range holds no page",
     u"El intervalo de páginas no contiene ninguna página",
     u"L'intervalle de pages ne contient aucune page",
     u"O intervalo de páginas não contém nenhuma página"},
    {mkZoomOut, u"Zoom out", u"Reducir", u"Zoom arrière", u"Diminuir zoom"},
    {mkZoomIn, u"Zoom in", u"Ampliar", u"Zoom avant", u"Aumentar zoom"},
    {mkZoom, u"Zoom", u"Zoom", u"Zoom", u"Zoom"},
    {mkMailNotOpened,
     u"The mail program could not be opened with the document. Choose a mail program in the "
     u"desktop's preferred applications and press the button again, or save the document as PDF "
     u"and attach it to a message by hand.",
     u"No se pudo abrir el programa de correo con el documento. Elija un programa de correo en "
     u"las aplicaciones preferidas del escritorio y vuelva a pulsar el botón, o guarde el "
     u"documento como PDF y adjúntelo a un mensaje a mano.",
     u"Le programme de messagerie n'a pas pu être ouvert avec le document. Choisissez un "
     u"programme de messagerie dans les applications préférées du bureau et appuyez de nouveau "
     u"sur le bouton, ou enregistrez le document en PDF et joignez-le à un message à la main.",
     u"Não foi possível abrir o programa de correio com o documento. Escolha um programa de "
     u"correio nos aplicativos preferidos da área de trabalho e pressione o botão novamente, ou "
     u"salve o documento como PDF e anexe-o a uma mensagem manualmente."},
    {mkOutputStillRunning,
     u"A print or save through the same output is still running. Wait until it ends, or cancel "
     u"it, and try again.",
     u"Todavía hay una impresión o un guardado en marcha por la misma salida. Espere a que "
     u"termine, o cancélelo, y vuelva a intentarlo.",
     u"Une impression ou un enregistrement par la même sortie est encore en cours. Attendez "
     u"qu'il se termine, ou annulez-le, puis réessayez.",
     u"Uma impressão ou gravação pela mesma saída ainda está em andamento. Aguarde até que "
     u"termine, ou cancele-a, e tente novamente."},
    {mkPrintServiceUnreachable, u"The print service cannot be reached",
     u"No se puede acceder al servicio de impresión", u"Le service d'impression est injoignable",
     u"O serviço de impressão não pode ser acessado"},
    {mkToolBar, u"Toolbar", u"Barra de herramientas", u"Barre d'outils", u"Barra de ferramentas"},
    {mkViews, u"Views of the document", u"Vistas del documento", u"Vues du document",
     u"Vistas do documento"},
    {mkViewDivider, u"Divider between the views", u"Divisor entre las vistas",
     u"Séparateur entre les vues", u"Divisor entre as vistas"},
    {mkVerticalScrollBar, u"Vertical scroll bar", u"Barra de desplazamiento vertical",
     u"Barre de défilement verticale", u"Barra de rolagem vertical"},
    {mkHorizontalScrollBar, u"Horizontal scroll bar", u"Barra de desplazamiento horizontal",
     u"Barre de défilement horizontale", u"Barra de rolagem horizontal"},
    {mkOptions, u"Options", u"Opciones", u"Options", u"Opções"},
    {mkNoPage, u"No page", u"Sin página", u"Pas de page", u"Sem página"},
};

static_assert(std::size(kRows) == RLMessageKeyCount, "one row per message key");

constexpr bool RowsInKeyOrder() {
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        if (static_cast<std::size_t>(kRows[i].key) != i) {
            return false;
        }
    }
    return true;
}
static_assert(RowsInKeyOrder(), "rows must follow the order of TRLMessageKey");

const char16_t* RowText(const MessageRow& row, TRLLanguage language) {
    switch (language) {
    case lgSpanish:
        return row.spanish;
    case lgFrench:
        return row.french;
    case lgPortuguese:
        return row.portuguese;
    case lgEnglish:
        break;
    }
    return row.english;
}

} // namespace

TRLMessageTable RLMessages;

TRLMessageTable::TRLMessageTable() {
    Fill(lgEnglish);
}

void TRLMessageTable::Fill(TRLLanguage language) {
    for (std::size_t i = 0; i < RLMessageKeyCount; ++i) {
        texts_[i] = QString::fromUtf16(RowText(kRows[i], language));
    }
    language_ = language;
}

TRLLanguage LanguageOfLocale(const QLocale& locale) {
    switch (locale.language()) {
    case QLocale::Spanish:
        return lgSpanish;
    case QLocale::French:
        return lgFrench;
    case QLocale::Portuguese:
        return lgPortuguese;
    default:
        return lgEnglish;
    }
}

void LoadMessages(TRLLanguage language) {
    RLMessages.Fill(language);
}

void SelectMessagesLanguage() {
    LoadMessages(LanguageOfLocale(QLocale::system()));
}

} // namespace Kelmora
