// File, text, array and log-sum-exp helpers shared by every part of the system.
//   1. output and input files (refuse-existing writes, reads that end the run on failure)
//   2. the numeric matrix reader
//   3. number-to-text, the completion report and its mail
//   4. array helpers: sums, label tables, log-sum-exp, printing
// Failures write their one line and throw RunError (U/RunError.h).
#pragma once
#include <cmath>
#include <ctime>
#include <fstream>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "io/Matrix.h"

// Appends to tokens the non-empty pieces of str between delimiter characters.
void Tokenize(const std::string& str, std::vector<std::string>& tokens,
              const std::string& delimiters = " ");

struct U {
  // Opens fileName for writing. Unless overwrite, an existing file ends the run with
  // "File already exists: "; a file that cannot be created ends it with "Fail to write ".
  // Writes "  write " and the name to logFile on success.
  static void openWrite(std::ofstream& file, const std::string& fileName, std::ostream& logFile,
                        bool overwrite);
  // Creates fileName, refusing an existing one, and returns its descriptor; failures end the
  // run as openWrite's do (no message on success).
  static int createExclusive(const std::string& fileName, std::ostream& logFile);
  // Replaces fileName with text so that the file on disk is always complete: the text goes
  // to a temporary file in the same folder, is synced, then renamed over the old file.
  // Writes "  write " and the name; a failed write ends the run with "Fail to write ".
  static void replaceFile(const std::string& fileName, const std::string& text,
                          std::ostream& logFile);
  // The same replacement without messages: false when any step failed, and then fileName
  // is untouched and no temporary file is left.
  static bool writeFileAtomically(const std::string& fileName, const std::string& text);
  // Opens fileName for reading or ends the run with "Fail to read ". Writes "  read ".
  static void openRead(std::ifstream& file, const std::string& fileName, std::ostream& logFile);

  // Reads a whitespace-separated numeric matrix, one observation per line. The column count
  // is the number of blank-separated fields of the first line; every line must hold exactly
  // that many numbers of type T; a last line without a line break is a row too. Writes
  // "  read " and the name twice. Malformed files end the run with one line naming the file
  // and the line.
  template <class T>
  static void readData(const std::string& fileName, int& rowCount, int& columnCount,
                       Matrix<T>& data, std::ostream& logFile);

  // The text a default-formatted stream writes for the number.
  template <class T>
  static std::string n2s(T number) {
    std::ostringstream s;
    s << number;
    return s.str();
  }

  // "Started at " line body: year/month/day hour:minute:second without leading zeros.
  static std::string localTimeText(time_t t);

  // Writes the completion report to logFile (and standard output when logFile is another
  // stream); mails it when email is set and the run took more than 5 minutes. Returns 1.
  static int finishUp(int argc, char** argv, const std::string& msg, time_t t0,
                      std::ostream& logFile, const std::string& email);
  // Body of the report for a run of the given length; exposed for tests.
  static std::string finishReport(int argc, char** argv, const std::string& msg, time_t t0,
                                  time_t now);
  // Hands body to the system mail command /usr/bin/mail, without a shell. A missing program
  // or one that exits without reading is ignored: this never fails or stops the run.
  static void sendMailOnUnix(const std::string& to, const std::string& body);
  // The same with another mail program (tests).
  static void sendMailOnUnix(const std::string& to, const std::string& body,
                             const std::string& mailProgram);

  // log(sum weights[i] * exp(logValues[i])), the largest value factored out.
  static double logSumExp(const double* logValues, int howMany, const double* weights);
  static double logSumExp(const double* logValues, int howMany);
  static double logAddExp(double logV1, double logV2);

  template <class T>
  static T arraymax(const T* a, int size) {
    T best = a[0];
    for (int i = 1; i < size; i++)
      if (a[i] > best) best = a[i];
    return best;
  }
  template <class T>
  static T sum(const T* a, int size) {
    T total = a[0];
    for (int i = 1; i < size; i++) total += a[i];
    return total;
  }
  // Counts labels 0..k-1 of z into count; returns how many labels occur.
  template <class T>
  static int table(const T* z, int n, int* count, int k) {
    for (int j = 0; j < k; j++) count[j] = 0;
    for (int i = 0; i < n; i++) count[z[i]]++;
    int nonEmpty = 0;
    for (int j = 0; j < k; j++)
      if (count[j] != 0) nonEmpty++;
    return nonEmpty;
  }
  static int table(const std::vector<int>& z, int* count, int k) {
    return table(z.data(), static_cast<int>(z.size()), count, k);
  }
  template <class T>
  static void copyArray(const T* from, T* to, int size) {
    for (int i = 0; i < size; i++) to[i] = from[i];
  }
  // True when two 0/1 vectors describe the same two-way split, labels swapped or not.
  static bool compareArray(const std::vector<int>& a1, const std::vector<int>& a2, int size);
  static double factorial(double a);

  // Each element followed by one blank, then a line break when println. Output is exactly
  // what the stream's << would write; plain streams take a faster path.
  template <class T>
  static void printArray(const T* array, int dim, std::ostream& save, bool println) {
    if constexpr (std::is_same_v<T, int> || std::is_same_v<T, double>) {
      if (plainFormat(save)) {
        writeNumbers(array, dim, save, println);
        return;
      }
    }
    for (int i = 0; i < dim; i++) save << array[i] << ' ';
    if (println) save << '\n';
  }
  // The text printArray writes for the array, line break included.
  template <class T>
  static std::string arrayLine(const T* array, int dim) {
    std::ostringstream text;
    printArray(array, dim, text, true);
    return text.str();
  }
  template <class T>
  static void print2Dmatrix(const T* matrix, int dim1, int dim2, std::ostream& save) {
    for (int i = 0; i < dim1; i++)
      printArray(matrix + static_cast<size_t>(i) * dim2, dim2, save, true);
  }
  // The text of << for a double in general format with the given precision (printf's %.*g);
  // returns the end of the text.
  static char* formatDouble(char* first, char* last, double value, int precision);
  // Writes value as save << value would, then the character after.
  static void writeNumber(std::ostream& save, double value, char after);

  // Whether the stream formats numbers the default way (any precision from 1 to 17).
  static bool plainFormat(const std::ostream& save) {
    return save.flags() == (std::ios_base::skipws | std::ios_base::dec) && save.width() == 0 &&
           save.precision() >= 1 && save.precision() <= 17;
  }
  static void writeNumbers(const int* values, int count, std::ostream& save, bool println);
  static void writeNumbers(const double* values, int count, std::ostream& save, bool println);

  // Ends the run with a failure of the input or output: line and a line break go to logFile,
  // and to standard output when logFile is another stream (io/Failure.h).
  [[noreturn]] static void fail(std::ostream& logFile, const std::string& line);
};

extern template void U::readData<int>(const std::string&, int&, int&, Matrix<int>&,
                                      std::ostream&);
extern template void U::readData<double>(const std::string&, int&, int&, Matrix<double>&,
                                         std::ostream&);
