#pragma once

struct HistoryEvent;

// Files of schema version 1 kept each entry as the text the recorder had made of it,
// the numbers inside: "Пуск двигателя", "<fault> (12.3 / 12.4 / 0.0 A, 380 / 381 / 379 V)".
// The upgrade, and a reader of such a file it may not write, take them back.
class LegacyEventText
{
public:
    // Where event.text is one that recorder made for the entry's source and code, its
    // numbers go to their fields and the text is emptied; any other text stays as it is.
    // True when the text was taken back (or there was none).
    static bool takeBack(HistoryEvent &event);
};
