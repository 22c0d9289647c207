#pragma once
// The generator's list of pictures: each output path with the function that draws it.

#include <QImage>
#include <functional>
#include <string>
#include <vector>

struct Recipe {
    std::string path;  // relative to the resource folder
    std::function<QImage()> draw;
};

std::vector<Recipe> SkinRecipes();        // images/ and skin/ pictures, bitmap resources
std::vector<Recipe> DecorationRecipes();  // guajian/ frames
Recipe PlaceholderRecipe();               // test.png
