/* A plain C program built against the public header and the shared library:
   calls every function of the frame families and checks their results. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "qeltapi.h"

static int failures = 0;

#define CHECK(cond)                                                    \
    do {                                                               \
        if (!(cond)) {                                                 \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                \
        }                                                              \
    } while (0)

int main(int argc, char** argv) {
    const char* dir = argc > 1 ? argv[1] : "/tmp/qelt-c-consumer";
    char path[512], ini[512], buf[256];
    void* ctx = NULL;
    BINSTR in, out, back;
    time_t t = 0;
    int v = 0;

    mkdir(dir, 0755);
    CHECK(QELT_API_Init(&ctx, dir) == QELT_OK);
    CHECK(QELT_API_Init(&ctx, dir) == QELT_ERR_ALREADY_INITIALIZED);
    CHECK(QELT_API_GetVersion(ctx, sizeof buf, buf) == QELT_OK && strcmp(buf, "V1.5.3.3") == 0);
    CHECK(QELT_API_GetInfo(ctx, sizeof buf, buf) == QELT_OK && strstr(buf, "qeltapi_wc") != NULL);
    CHECK(QELT_API_GetErrInfo(ctx, sizeof buf, buf) == QELT_ERR_NO_ERROR_INFO);
    CHECK(QELT_API_SetOption(ctx, QELT_OPT_RSA_PKCS1 | QELT_OPT_CMS_CONTENTINFO) == QELT_OK);
    CHECK(QELT_API_SetConfFile(ctx, "/nonexistent/conf.ini") == QELT_OK);
    CHECK(QELT_API_SetHashAlgo(ctx, 4) == QELT_OK);
    CHECK(QELT_API_SetHashAlgo(ctx, 9) == QELT_ERR_HASH_ALGORITHM);
    CHECK(QELT_API_GetErrInfo(ctx, sizeof buf, buf) == QELT_OK && buf[0] == '[');
    CHECK(QELT_API_Str2Time(ctx, "20380119031407Z", &t) == QELT_OK && (long long)t == 2147483647LL);

    CHECK(QELT_BINSTR_Create(&in) == QELT_OK);
    CHECK(QELT_BINSTR_Create(&out) == QELT_OK);
    CHECK(QELT_BINSTR_Create(&back) == QELT_OK);
    CHECK(QELT_BINSTR_SetData((const unsigned char*)"foobar", 6, &in) == QELT_OK);
    CHECK(QELT_API_SetCaPubs(ctx, &in) == QELT_OK);
    CHECK(QELT_API_FreeCaPubs(ctx) == QELT_OK);

    CHECK(QELT_BASE64_Encode(ctx, &in, &out) == QELT_OK && out.nLen == 8 && memcmp(out.pVal, "Zm9vYmFy", 8) == 0);
    CHECK(QELT_BASE64_Decode(ctx, &out, &back) == QELT_OK && back.nLen == 6 && memcmp(back.pVal, "foobar", 6) == 0);
    CHECK(QELT_PEM_Encode(ctx, QELT_PEM_TYPE_CERTIFICATE, &in, &out) == QELT_OK);
    CHECK(strncmp((const char*)out.pVal, "-----BEGIN CERTIFICATE-----\r\n", 29) == 0);
    CHECK(QELT_PEM_Decode(ctx, &out, &back) == QELT_OK && back.nLen == 6);

    snprintf(path, sizeof path, "%s/sub/dir/file.bin", dir);
    CHECK(QELT_STORAGE_WriteFile(ctx, path, &in) == QELT_OK);
    CHECK(QELT_STORAGE_ReadFile(ctx, path, &back) == QELT_OK && back.nLen == 6);

    snprintf(ini, sizeof ini, "%s/app.ini", dir);
    {
        FILE* f = fopen(ini, "w");
        if (f) {
            fputs("[APP]\n", f);
            fclose(f);
        }
    }
    CHECK(QELT_UTIL_SetProfileInt(ctx, ini, "APP", "count", 7) == QELT_OK);
    CHECK(QELT_UTIL_GetProfileInt(ctx, ini, "APP", "count", &v) == QELT_OK && v == 7);
    CHECK(QELT_UTIL_SetProfileString(ctx, ini, "APP", "name", "value") == QELT_OK);
    CHECK(QELT_UTIL_GetProfileString(ctx, ini, "APP", "name", sizeof buf, buf) == QELT_OK && strcmp(buf, "value") == 0);

    CHECK(QELT_BINSTR_Delete(&in) == QELT_OK);
    CHECK(QELT_BINSTR_Delete(&out) == QELT_OK);
    CHECK(QELT_BINSTR_Delete(&back) == QELT_OK && back.pVal == NULL);
    CHECK(QELT_API_Finish(&ctx) == QELT_OK && ctx == NULL);
    CHECK(QELT_API_GetVersion(ctx, sizeof buf, buf) == QELT_ERR_NOT_INITIALIZED);

    printf("c consumer: %s\n", failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
