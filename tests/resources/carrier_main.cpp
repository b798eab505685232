// Never run: it exists to carry the application's resources for the tests.
int main() {
    return 0;
}
