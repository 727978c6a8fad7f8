// Numbers and arrays as text, exactly as a default-formatted stream writes them (plain streams
// take a faster path), and the clock text of the log's start line.
#pragma once
#include <ctime>
#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

// Appends to tokens the non-empty pieces of str between delimiter characters.
void Tokenize(const std::string& str, std::vector<std::string>& tokens,
              const std::string& delimiters = " ");

struct Text {
  // The text a default-formatted stream writes for the number.
  template <class T>
  static std::string n2s(T number) {
    std::ostringstream s;
    s << number;
    return s.str();
  }

  // "Started at " line body: year/month/day hour:minute:second without leading zeros.
  static std::string localTimeText(time_t t);

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
};
