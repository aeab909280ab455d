/* The benchmark's page written straight through libharu: the C anchor of bench/pdf-vs-reportlab.
 *
 * No layout engine and no record reader: the cells come from a file of lines of six
 * tab-separated fields, already in Windows-1252, read whole before the first page. Each cell is
 * one HPDF_Page_TextOut in Helvetica (a standard font, not embedded), each row's rule one
 * MoveTo/LineTo/Stroke, the page count known up front, compression on.
 *
 * usage: haru_report CELLS PAGES OUT.pdf
 */
#include <hpdf.h>

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kRowsPerPage = 45, kFields = 6 };

/* The geometry of the Python side, in layout pixels (96 per inch) turned into points. */
static const double kPx = 72.0 / 96.0;
static const double kTitleHeight = 36, kHeaderHeight = 22, kDetailHeight = 21,
                    kFooterHeight = 30, kTextTop = 3, kContentWidth = 718;
static const double kFontSize = 9, kTitleSize = 12, kMarginMm = 10;

struct Column {
    const char* heading; /* Windows-1252 */
    double left, width;
    int right;
};
static const struct Column kColumns[kFields] = {
    {"N\xba", 0, 50, 1},        {"Persona", 60, 200, 0}, {"Destino", 270, 200, 0},
    {"Salida", 480, 80, 0},     {"D\xed" "as", 570, 40, 1}, {"Importe", 620, 96, 1},
};
static const char kTitle[] = "LISTADO DE VI\xc1TICOS";

static jmp_buf failed;

static void OnError(HPDF_STATUS error, HPDF_STATUS detail, void* data) {
    (void)data;
    fprintf(stderr, "libharu error %04X (detail %u)\n", (unsigned)error, (unsigned)detail);
    longjmp(failed, 1);
}

static char* ReadWhole(const char* path, long* size) {
    FILE* f = fopen(path, "rb");
    if (!f)
        return NULL;
    fseek(f, 0, SEEK_END);
    *size = ftell(f);
    fseek(f, 0, SEEK_SET);
    char* text = malloc((size_t)*size + 1);
    if (text && fread(text, 1, (size_t)*size, f) != (size_t)*size) {
        free(text);
        text = NULL;
    }
    fclose(f);
    if (text)
        text[*size] = '\0';
    return text;
}

static void Text(HPDF_Page page, double left, double y, const struct Column* column,
                 const char* text) {
    double x = left + column->left * kPx;
    if (column->right)
        x = left + (column->left + column->width) * kPx - HPDF_Page_TextWidth(page, text);
    HPDF_Page_TextOut(page, (HPDF_REAL)x, (HPDF_REAL)y, text);
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: haru_report CELLS PAGES OUT.pdf\n");
        return 2;
    }
    const int pages = atoi(argv[2]);
    long size = 0;
    char* cells = ReadWhole(argv[1], &size);
    if (!cells || pages < 1) {
        fprintf(stderr, "haru_report: cannot read %s\n", argv[1]);
        return 1;
    }
    /* Cut the file into its cells, in place. */
    const long count = (long)pages * kRowsPerPage * kFields;
    char** cell = malloc(sizeof(char*) * (size_t)count);
    long n = 0;
    for (char* p = cells; n < count && *p;) {
        cell[n++] = p;
        p += strcspn(p, "\t\n");
        if (*p)
            *p++ = '\0';
    }
    if (n < count) {
        fprintf(stderr, "haru_report: %s holds %ld cells, not %ld\n", argv[1], n, count);
        return 1;
    }

    HPDF_Doc pdf = HPDF_New(OnError, NULL);
    if (!pdf || setjmp(failed)) {
        HPDF_Free(pdf);
        return 1;
    }
    HPDF_SetCompressionMode(pdf, HPDF_COMP_ALL);
    /* A page tree of nodes of 1,000 pages: one node's array holds at most 8,191 entries. */
    HPDF_SetPagesConfiguration(pdf, 1000);
    HPDF_Font font = HPDF_GetFont(pdf, "Helvetica", "WinAnsiEncoding");
    HPDF_Font bold = HPDF_GetFont(pdf, "Helvetica-Bold", "WinAnsiEncoding");
    const double margin = kMarginMm / 25.4 * 72.0;
    char footer[64];
    long next = 0;
    for (int p = 0; p < pages; ++p) {
        HPDF_Page page = HPDF_AddPage(pdf);
        HPDF_Page_SetSize(page, HPDF_PAGE_SIZE_A4, HPDF_PAGE_PORTRAIT);
        HPDF_Page_SetLineWidth(page, 0.75f);
        const double left = margin;
        const double right = left + kContentWidth * kPx;
        double y = HPDF_Page_GetHeight(page) - margin;

        HPDF_Page_BeginText(page);
        HPDF_Page_SetFontAndSize(page, bold, (HPDF_REAL)kTitleSize);
        HPDF_Page_TextOut(page, (HPDF_REAL)left, (HPDF_REAL)(y - (8 * kPx + kTitleSize)), kTitle);
        y -= kTitleHeight * kPx;
        HPDF_Page_SetFontAndSize(page, bold, (HPDF_REAL)kFontSize);
        for (int c = 0; c < kFields; ++c)
            Text(page, left, y - (kTextTop * kPx + kFontSize), &kColumns[c], kColumns[c].heading);
        HPDF_Page_EndText(page);
        y -= kHeaderHeight * kPx;
        HPDF_Page_MoveTo(page, (HPDF_REAL)left, (HPDF_REAL)y);
        HPDF_Page_LineTo(page, (HPDF_REAL)right, (HPDF_REAL)y);
        HPDF_Page_Stroke(page);

        for (int r = 0; r < kRowsPerPage; ++r) {
            HPDF_Page_BeginText(page);
            HPDF_Page_SetFontAndSize(page, font, (HPDF_REAL)kFontSize);
            for (int c = 0; c < kFields; ++c)
                Text(page, left, y - (kTextTop * kPx + kFontSize), &kColumns[c], cell[next++]);
            HPDF_Page_EndText(page);
            y -= kDetailHeight * kPx;
            HPDF_Page_MoveTo(page, (HPDF_REAL)left, (HPDF_REAL)(y + 0.5));
            HPDF_Page_LineTo(page, (HPDF_REAL)right, (HPDF_REAL)(y + 0.5));
            HPDF_Page_Stroke(page);
        }

        snprintf(footer, sizeof footer, "P\xe1gina %d de %d", p + 1, pages);
        HPDF_Page_BeginText(page);
        HPDF_Page_SetFontAndSize(page, font, (HPDF_REAL)kFontSize);
        HPDF_Page_TextOut(page, (HPDF_REAL)(right - HPDF_Page_TextWidth(page, footer)),
                          (HPDF_REAL)(margin + kFooterHeight * kPx - (10 * kPx + kFontSize)),
                          footer);
        HPDF_Page_EndText(page);
    }
    HPDF_SaveToFile(pdf, argv[3]);
    HPDF_Free(pdf);
    free(cell);
    free(cells);
    return 0;
}
