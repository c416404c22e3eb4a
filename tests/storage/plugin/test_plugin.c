/* A storage plug-in for the tests: keeps each object in a file
   "<dir>/obj-<code>.bin" of the directory named by QELT_TEST_PLUGIN_DIR, and
   appends every call it receives to "<dir>/calls.log" ("read 32 1234").
   The PIN is the content of "<dir>/pin" ("1234" when absent). The first word
   of "<dir>/mode" makes it misbehave on purpose:
     nocard    every call returns 256
     fail      every call returns 7 with a text
     oversize  a read reports 5000 bytes
     negative  a read reports -1 bytes
     overrun   a read writes 3000 bytes into the 2048-byte buffer */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

static const char* dir(void) {
    const char* d = getenv("QELT_TEST_PLUGIN_DIR");
    return d ? d : ".";
}

static void path(char* out, size_t n, const char* name) { snprintf(out, n, "%s/%s", dir(), name); }

/* The first line of a small file of the directory, "" when absent. */
static void word(const char* name, char* out, size_t n) {
    char p[1024];
    path(p, sizeof p, name);
    out[0] = 0;
    FILE* f = fopen(p, "r");
    if (!f) return;
    if (fgets(out, (int)n, f) == NULL) out[0] = 0;
    fclose(f);
    out[strcspn(out, "\r\n ")] = 0;
}

static void logCall(const char* op, int code, const char* pin) {
    char p[1024];
    path(p, sizeof p, "calls.log");
    FILE* f = fopen(p, "a");
    if (!f) return;
    fprintf(f, "%s %d %s\n", op, code, pin ? pin : "(null)");
    fclose(f);
}

/* 0 to go on, or the result every call gets in the current mode / for a bad PIN. */
static int gate(const char* pin, char* errText) {
    char mode[64], want[64];
    word("mode", mode, sizeof mode);
    if (strcmp(mode, "nocard") == 0) {
        strcpy(errText, "no card in the reader");
        return 256;
    }
    if (strcmp(mode, "fail") == 0) {
        strcpy(errText, "the test plug-in was told to fail");
        return 7;
    }
    word("pin", want, sizeof want);
    if (strcmp(pin ? pin : "", want[0] ? want : "1234") != 0) {
        strcpy(errText, "wrong PIN");
        return 257;
    }
    return 0;
}

static void objectPath(char* out, size_t n, int code) {
    char name[64];
    snprintf(name, sizeof name, "obj-%d.bin", code);
    path(out, n, name);
}

EXPORT int PKI_STORAGE_Read(int code, const char* pin, unsigned char* buf, int* len, char* errText) {
    logCall("read", code, pin);
    int rc = gate(pin, errText);
    if (rc != 0) return rc;
    char mode[64];
    word("mode", mode, sizeof mode);
    if (strcmp(mode, "oversize") == 0) {
        *len = 5000;
        return 0;
    }
    if (strcmp(mode, "negative") == 0) {
        *len = -1;
        return 0;
    }
    if (strcmp(mode, "overrun") == 0) {
        memset(buf, 0x30, 3000);
        *len = 2048;
        return 0;
    }
    char p[1024];
    objectPath(p, sizeof p, code);
    FILE* f = fopen(p, "rb");
    if (!f) {
        snprintf(errText, 1024, "object %d is not on the card", code);
        return 3;
    }
    size_t n = fread(buf, 1, (size_t)*len, f);
    fclose(f);
    *len = (int)n;
    return 0;
}

EXPORT int PKI_STORAGE_Write(int code, const char* pin, const unsigned char* data, int len, char* errText) {
    logCall("write", code, pin);
    int rc = gate(pin, errText);
    if (rc != 0) return rc;
    char p[1024];
    objectPath(p, sizeof p, code);
    FILE* f = fopen(p, "wb");
    if (!f || fwrite(data, 1, (size_t)len, f) != (size_t)len) {
        if (f) fclose(f);
        strcpy(errText, "cannot write the object");
        return 4;
    }
    fclose(f);
    return 0;
}

EXPORT int PKI_STORAGE_Delete(int code, const char* pin, char* errText) {
    logCall("delete", code, pin);
    int rc = gate(pin, errText);
    if (rc != 0) return rc;
    char p[1024];
    objectPath(p, sizeof p, code);
    if (remove(p) != 0) {
        snprintf(errText, 1024, "object %d is not on the card", code);
        return 5;
    }
    return 0;
}
