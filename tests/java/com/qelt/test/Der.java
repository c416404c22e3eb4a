package com.qelt.test;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/** A minimal DER reader for the tests: the elements of a constructed value. */
final class Der {
    final int tag;
    /** The element's contents. */
    final byte[] value;
    /** The whole element, tag and length included. */
    final byte[] encoded;

    private Der(int tag, byte[] value, byte[] encoded) {
        this.tag = tag;
        this.value = value;
        this.encoded = encoded;
    }

    /** The one element that b holds. */
    static Der parse(byte[] b) {
        List<Der> all = list(b);
        if (all.size() != 1) throw new AssertionError("expected one DER element, found " + all.size());
        return all.get(0);
    }

    /** The elements inside this constructed element. */
    List<Der> children() {
        return list(value);
    }

    private static List<Der> list(byte[] b) {
        List<Der> out = new ArrayList<>();
        int at = 0;
        while (at < b.length) {
            int start = at;
            int tag = b[at++] & 0xff;
            int len = b[at++] & 0xff;
            if (len > 0x80) {
                int n = len & 0x7f;
                len = 0;
                for (int i = 0; i < n; i++) len = (len << 8) | (b[at++] & 0xff);
            } else if (len == 0x80) {
                throw new AssertionError("indefinite length in DER");
            }
            if (at + len > b.length) throw new AssertionError("DER element overruns its container");
            out.add(new Der(tag, Arrays.copyOfRange(b, at, at + len), Arrays.copyOfRange(b, start, at + len)));
            at += len;
        }
        return out;
    }
}
