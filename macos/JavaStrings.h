// Owners for the texts that cross the Java boundary, so that every path of an
// export gives them back.
#ifndef GANTRY_MACOS_JAVA_STRINGS_H
#define GANTRY_MACOS_JAVA_STRINGS_H

#include <jni.h>
#include <stdlib.h>

// The modified UTF-8 characters of a Java string, from GetStringUTFChars;
// null for a null Java string or when the characters cannot be had.
class JavaStringChars {
public:
    JavaStringChars(JNIEnv *env, jstring text)
        : env_(env), text_(text), chars_(text ? env->GetStringUTFChars(text, NULL) : NULL) {}
    ~JavaStringChars()
    {
        if (chars_)
            env_->ReleaseStringUTFChars(text_, chars_);
    }
    JavaStringChars(const JavaStringChars &) = delete;
    JavaStringChars &operator=(const JavaStringChars &) = delete;

    const char *get() const { return chars_; }

private:
    JNIEnv *env_;
    jstring text_;
    const char *chars_;
};

// A malloc'd UTF-8 text handed over by an operation.
class OwnedText {
public:
    explicit OwnedText(char *text) : text_(text) {}
    ~OwnedText() { free(text_); }
    OwnedText(const OwnedText &) = delete;
    OwnedText &operator=(const OwnedText &) = delete;

    const char *get() const { return text_; }

private:
    char *text_;
};

#endif
