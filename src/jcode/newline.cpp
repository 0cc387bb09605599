#include "jcode/newline.h"

#include <cstring>

NewlineForm SelectNewlineForm(ConversionFlags flags) {
    if (flags & NewlineCrLf)
        return NewlineForm::CrLf;
    if (flags & NewlineCr)
        return NewlineForm::Cr;
    if (flags & NewlineLf)
        return NewlineForm::Lf;
    return NewlineForm::Keep;
}

size_t TranslateNewline(const char* text, NewlineForm form, char* replacement,
                        size_t* replacementLength) {
    if (form == NewlineForm::Keep) {
        replacement[0] = text[0];
        *replacementLength = 1;
        return 1;
    }
    size_t consumed = (text[0] == '\r' && text[1] == '\n') ? 2 : 1;
    switch (form) {
        case NewlineForm::CrLf:
            replacement[0] = '\r';
            replacement[1] = '\n';
            *replacementLength = 2;
            break;
        case NewlineForm::Cr:
            replacement[0] = '\r';
            *replacementLength = 1;
            break;
        default:
            replacement[0] = '\n';
            *replacementLength = 1;
            break;
    }
    return consumed;
}

void SinkTerminate(TextSink* sink) {
    if (sink->capacity == 0) {
        sink->full = true;
        return;
    }
    sink->out[sink->used] = 0;
}
