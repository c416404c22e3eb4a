package com.qelt.qeltapi;

/** Library-wide settings of the object API. */
public final class QeltApi {
    static {
        System.loadLibrary("qeltapi");
    }

    private QeltApi() {}

    /**
     * Sets the work directory every later call uses (its caches live under it).
     * Only the first non-empty path is taken; later calls change nothing.
     *
     * @return "" when accepted (or already set), else the reason
     */
    public static String setWorkDir(String path) {
        return _setWorkDir(path);
    }

    static native String _setWorkDir(String path);
}
