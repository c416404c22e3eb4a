import com.qelt.qeltapi.QeltApi;
import com.qelt.qeltapi_jni;
import java.nio.file.Files;
import java.nio.file.Path;

public class SignVerify {
    public static void main(String[] args) throws Exception {
        // The classes load libqeltapi.so (System.loadLibrary("qeltapi")) from -Djava.library.path.
        String refused = QeltApi.setWorkDir(System.getProperty("java.io.tmpdir") + "/qelt-work");
        if (!refused.isEmpty()) throw new IllegalStateException(refused);

        byte[] cert = Files.readAllBytes(Path.of(args[0]));  // DER certificate
        byte[] key = Files.readAllBytes(Path.of(args[1]));   // DER PKCS#8 private key
        qeltapi_jni api = new qeltapi_jni();
        api.option = 0x200;  // a ContentInfo, as other tools read it

        if (api._CMS_MakeSignedData(cert, key, "hello, world".getBytes(), "", 4) != 0)  // 4: SHA-256
            throw new IllegalStateException(api.detail());
        byte[] signed = api.baReturnArray;

        if (api._CMS_ProcessSignedData(signed) != 0) throw new IllegalStateException(api.detail());
        System.out.println("verified " + signed.length + "-byte message: \"" + new String(api.baReturnArray)
                + "\", signed by a " + api.signers.get(0).certificate.length + "-byte certificate");
    }
}
